// The edge of the process: standard output (the channel, the console writer
// and the conversions), the command line, text helpers, file tests, a clean
// stop, the top-level error report and the end of the run, each in a header
// of its own; this one gathers them for the floors above.
#pragma once

#include "console/arguments.h"
#include "console/channel.h"
#include "console/convert.h"
#include "console/device.h"
#include "console/end.h"
#include "console/error.h"
#include "console/files.h"
#include "console/modules.h"
#include "console/report.h"
#include "console/stop.h"
#include "console/text.h"
#include "console/writer.h"
