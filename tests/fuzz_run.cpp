// A whole run of the viewer through the scripted system, held to the plain reference: a few
// paths of any bytes and length, each a file (holes or not), a FIFO, a directory, a missing
// path or the output itself; reads in chunks; calls that fail; short writes; output into a
// file, pipe, socket or terminal whose reader may leave. Built with libFuzzer.

#include "driver/driver.h"
#include "fake_posix.h"
#include "reference.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdio>

namespace {

enum Kind { regular, sparse, fifo, missing, directory, kinds };

struct Path {
    std::string name, data;
    Kind kind = regular;
};

// Pieces of data: bytes from the input, or data shaped to trip the fast paths, mostly short and
// now and then many times the output buffer.
std::string data_of(FuzzedDataProvider &input) {
    std::string data;
    for (int pieces = input.ConsumeIntegralInRange(0, 4); pieces > 0; --pieces) {
        if (input.ConsumeBool()) {
            data += input.ConsumeBytesAsString(input.ConsumeIntegralInRange(1, 64));
            continue;
        }
        std::mt19937_64 random(input.ConsumeIntegral<std::uint32_t>());
        data += shaped_data(random, std::size_t{1} << input.ConsumeIntegralInRange(4, 16));
    }
    return data;
}

struct Expected {
    std::string out, err;
    int status = 0;
};

// What the run must show, given where the scripted system made calls fail.
Expected expected_run(const std::vector<Path> &paths, const std::vector<std::string> &file_data,
                      const Fake &fake) {
    Expected run;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        const Path &path = paths[i];
        run.out += reference_header(path.name);
        const int open = static_cast<int>(i) + 1; // no open is interrupted: one call a path
        const bool open_failed = fake.failures.count({open_call, open}) != 0;
        const auto failed = std::find_if(fake.failed_reads.begin(), fake.failed_reads.end(),
                                         [&](const Fake::FailedRead &f) { return f.open == open; });
        const std::size_t file = std::find_if(fake.files.begin(), fake.files.end(),
                                              [&](const File &f) { return f.path == path.name; }) -
                                 fake.files.begin();
        if (open_failed || file == fake.files.size() || fake.files[file].type == S_IFDIR) {
            run.out += reference_open_error(path.name);
            run.status = 1;
        } else if (static_cast<int>(file) == fake.output_file) {
            run.err += "morvalen: " + path.name + ": input file is output file\n";
            run.status = 1;
        } else if (failed != fake.failed_reads.end()) {
            char where[32];
            std::snprintf(where, sizeof where, " (at offset %04llx)\n",
                          static_cast<unsigned long long>(failed->position));
            run.out += reference_dump(file_data[file].substr(0, failed->position));
            run.err += "morvalen: " + path.name + ": " + std::strerror(failed->error) + where;
            run.status = 1;
        } else {
            run.out += reference_dump(file_data[file]);
        }
    }
    return run;
}

bool starts(const std::string &text, const std::string &prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// A run that ended early: what it wrote is where a whole run starts, and it ended for a reason.
bool ended_soundly(const Fake &fake, const Expected &run, int status) {
    if (!starts(run.out, fake.out))
        return false;
    const int error = fake.failed_writes.empty() ? EPIPE : fake.failed_writes.back();
    // A terminal that has hung up fails writes with EIO.
    const bool reader_left =
        error == EPIPE || error == ECONNRESET || (error == EIO && fake.reader_gone);
    if (status == 128 + SIGPIPE)
        return reader_left && (fake.reader_gone || !fake.failed_writes.empty()) &&
               fake.reads_after_gone <= 1 && starts(run.err, fake.err);
    const std::string last =
        "morvalen: cannot write the output: " + std::string(strerror(error)) + "\n";
    return status == 1 && !reader_left && fake.err.size() >= last.size() &&
           fake.err.compare(fake.err.size() - last.size(), last.size(), last) == 0 &&
           starts(run.err, fake.err.substr(0, fake.err.size() - last.size()));
}

const int errors[] = {EIO, EINTR, EAGAIN, ENOSPC, EPIPE, ECONNRESET, EFBIG};
const mode_t outputs[] = {S_IFREG, S_IFIFO, S_IFSOCK, S_IFCHR};
const std::size_t chunks[] = {1, 7, 16, 100, 4096, 65536, SIZE_MAX};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *bytes, std::size_t size) {
    FuzzedDataProvider input(bytes, size);
    Fake script;
    script.in_process = true;
    std::vector<Path> paths(input.ConsumeIntegralInRange<std::size_t>(1, 4));
    std::vector<std::string> file_data; // of each file of the script
    for (Path &path : paths) {
        const bool long_name = input.ConsumeIntegralInRange(0, 3) == 0; // messages past 4 KiB
        path.name =
            input.ConsumeBytesAsString(input.ConsumeIntegralInRange(1, long_name ? 5000 : 12));
        path.name = path.name.substr(0, path.name.find('\0'));
        for (char &byte : path.name) // names shown escaped have rows of their own; these need none
            byte = byte < ' ' || byte > '~' || byte == '$' ? '_' : byte;
        path.name += path.name.empty() ? "f" : "";
        path.kind = static_cast<Kind>(input.ConsumeIntegralInRange(0, kinds - 1));
        path.data = data_of(input);
        const bool known = std::any_of(script.files.begin(), script.files.end(),
                                       [&](const File &f) { return f.path == path.name; });
        if (path.kind == missing || known)
            continue;
        script.files.push_back(file_of(path.name, path.data, path.kind == sparse));
        file_data.push_back(path.data);
        script.files.back().type = path.kind == fifo        ? S_IFIFO
                                   : path.kind == directory ? S_IFDIR
                                                            : S_IFREG;
    }
    script.read_max = input.PickValueInArray(chunks);
    if (script.read_max < 100) // byte by byte only through small files, or a run takes minutes
        for (const std::string &data : file_data)
            script.read_max = data.size() > 100000 ? 4096 : script.read_max;
    script.chunk_salt = input.ConsumeBool() ? input.ConsumeIntegral<std::uint64_t>() | 1 : 0;
    script.write_max =
        input.ConsumeBool() ? input.ConsumeIntegralInRange<std::size_t>(1, 5000) : SIZE_MAX;
    script.output_type = input.PickValueInArray(outputs);
    script.hide_last_page = input.ConsumeBool();
    if (input.ConsumeIntegralInRange(0, 3) == 0 && !script.files.empty())
        script.output_file =
            input.ConsumeIntegralInRange<int>(0, static_cast<int>(script.files.size()) - 1);
    for (int failures = std::max(0, input.ConsumeIntegralInRange(-3, 3)); failures > 0;
         --failures) {
        const Call call = input.PickValueInArray({open_call, read_call, write_call});
        const int error = input.PickValueInArray(errors);
        script.failures[{call, input.ConsumeIntegralInRange(1, 64)}] =
            call == open_call && error == EINTR ? EIO : error;
    }
    const int reader_leaves_at =
        script.output_type == S_IFREG ? 0 : input.ConsumeIntegralInRange(0, 40);
    script.before_read = [&script, reader_leaves_at](int read) {
        script.reader_gone = reader_leaves_at > 0 && read >= reader_leaves_at;
    };

    std::vector<char *> arguments = {const_cast<char *>("morvalen")};
    for (Path &path : paths)
        arguments.push_back(&path.name[0]);
    int status = 0;
    bool ended = false;
    try {
        status = with_fake(script, [&] {
            return view_paths(static_cast<int>(arguments.size()), arguments.data());
        });
    } catch (const Ended &end) {
        status = end.status;
        ended = true;
    }
    const Expected run = expected_run(paths, file_data, script);
    const bool sound = ended
                           ? ended_soundly(script, run, status)
                           : script.out == run.out && script.err == run.err && status == run.status;
    if (!sound) {
        std::fprintf(
            stderr,
            "status %d, expected %d; output %zu bytes, expected %zu; reader gone %d, reads after "
            "%d, last failed write %d; errors:\n%s\nexpected:\n%s\n",
            status, run.status, script.out.size(), run.out.size(), script.reader_gone,
            script.reads_after_gone, script.failed_writes.empty() ? 0 : script.failed_writes.back(),
            script.err.c_str(), run.err.c_str());
        std::abort();
    }
    return 0;
}
