#pragma once
// Named points in the library's threads and window procedures where a test build makes them
// fail, to prove what follows a fault where nothing outside the library can cause one. The
// library as shipped sets no probe: a point then costs the test of a pointer.
using TFaultProbe = void (*)(const char* point);

void SetFaultProbe(TFaultProbe probe);
void FaultPoint(const char* point);
