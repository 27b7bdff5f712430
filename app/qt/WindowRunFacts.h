#pragma once

#include <functional>
#include <string>

#include "RunRecorder.h"

class frmMain;
class RunTrace;
namespace platform {
class ISerialControl;
}

// The facts a recorder asks of the window a run happens in: its port, the
// device behind it, its data file and block cursor, and the run's trace.
RunRecorder::Facts WindowRunFacts(const std::string& program, frmMain& window,
                                  const platform::ISerialControl& serial,
                                  std::function<const RunTrace*()> trace);
