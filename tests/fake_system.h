#pragma once

// The scripted system under the calls of the system the tests are built for, and `dump`, which
// dumps one file through it.

#ifdef _WIN32
#include "fake_windows.h"
#else
#include "fake_posix.h"
#endif

namespace {

// Dumps `path` through the fake; returns whether it was dumped whole.
bool dump(Fake &script, const std::string &path = "f") {
    return with_fake(script, [&] {
        prepare_output();
        const bool ok = dump_and_report(path.c_str());
        output_flush();
        return ok;
    });
}

} // namespace
