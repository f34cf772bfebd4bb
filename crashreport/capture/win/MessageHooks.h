#pragma once
// GetMessageA/W and PeekMessageA/W of every module pass the pause gate of their thread before
// they retrieve a message. Installed on the first pause of the host's threads.
void InstallMessageHooks();
void RemoveMessageHooks();
// Makes the first pause install them; only where the library lives in the main program.
void ArmMessageHooks();
