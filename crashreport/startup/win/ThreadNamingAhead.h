#pragma once
// The debugger convention's naming exception reaches the thread-name list even where the
// runtime's thread library takes it first: MinGW's thread library puts a handler of its own at
// the head of the vectored list that ends the search for that code.
void InstallThreadNamingAhead();
void RemoveThreadNamingAhead();
