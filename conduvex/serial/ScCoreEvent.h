#pragma once
// What the serial engine reports to its owner, through one callback on its event thread (and,
// for the end of a worker, on that worker).
#include "Method.h"

#include <cstdint>
#include <exception>

enum class TScCoreEvent : uint8_t {
    ceOutFree,      // the output ring became empty after a write; data 0
    ceLineEvent,    // data: the line-event mask the device reported
    ceNeedReadData, // data: bytes waiting in the device's input queue, found by polling
    ceException,    // an exception raised while the event thread delivered a report
    ceThreadFault,  // a worker thread ended with the exception; the port serves no more
};

// One report. Each report is a value of its own, so a late cross-thread delivery can never
// read another report's data.
struct TScCoreEventRecord {
    TScCoreEvent kind = TScCoreEvent::ceOutFree;
    uint32_t data = 0;
    std::exception_ptr exception;
};

class TScComPortCore;
using TScCoreEventMethod = TMethod<TScComPortCore*, const TScCoreEventRecord&>;
