#pragma once
// The report stub the toolkit is given for what its own window procedures catch: the exception
// being handled goes to the sink as reported by the toolkit, continuing allowed.

// Inside a catch only; nothing leaves it.
void ReportCurrentToSink() noexcept;
