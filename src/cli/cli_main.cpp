// The entry of jqz6811-cli.
#include <atomic>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/cli_commands.h"
#include "core/platform/console.h"
#include "core/platform/native_file.h"
#include "core/platform/process_start.h"
#include "core/app/program_folder.h"
#include "core/app/settings_file.h"
#include "core/link/stop_signals.h"
#include "core/app/version.h"

namespace {

// Set by the first stop signal: the run stops as the stop button would stop it.
std::atomic<bool> gStop{false};

std::string programFolder() {
    const std::string folder = jqz::ExecutableFolder();
    if (folder.empty()) return ".";
    return jqz::ProgramDataFolder(folder);
}

// What a run ends with: a failed write to standard output or standard error (a full disk,
// a closed pipe) fails a run that would otherwise have succeeded.
int finish(jqz::cli::CliOutput& out, int rc) {
    const bool outputFailed = std::fflush(stdout) != 0 || std::ferror(stdout) != 0;
    if (outputFailed)
        out.AddLogLine(std::string("Cannot write the standard output: ") + std::strerror(errno),
                       jqz::LogError);
    out.result(rc, rc == 0 ? "done" : out.lastError());
    if (rc == jqz::cli::kSuccess && (outputFailed || out.writeFailed()))
        return jqz::cli::kOperationFailed;
    return rc;
}

}  // namespace

int main(int argc, char* argv[]) {
    // A closed pipe on the output fails its writes instead of killing a run half-way; the
    // failure is told by the exit code once the run has ended.
    jqz::PrepareProcessStart();
    const std::vector<std::string> args = jqz::ProgramArguments(argc, argv);
    const auto parsed = jqz::cli::ParseCommandLine(args);
    jqz::cli::CliOutput out(stderr, parsed.options.json, parsed.options.quiet,
                            jqz::IsTerminal(stderr));
    if (parsed.options.help) {
        std::fputs(jqz::cli::UsageText().c_str(), stdout);
        return finish(out, jqz::cli::kSuccess);
    }
    if (parsed.options.version) {
        if (parsed.options.json)
            std::printf("{\"version\":%s}\n",
                        jqz::cli::CliOutput::JsonString(jqz::ProgramVersion()).c_str());
        else
            std::printf("jqz6811-cli %s\n", jqz::ProgramVersion().c_str());
        return finish(out, jqz::cli::kSuccess);
    }
    if (!parsed.error.empty()) {
        out.AddLogLine(parsed.error + " (see jqz6811-cli --help)", jqz::LogError);
        return finish(out, jqz::cli::kUsage);
    }
    jqz::CatchStopSignals(gStop);

    const jqz::cli::Environment env{programFolder(), jqz::DefaultSettingsPath()};
    const int rc = jqz::cli::RunCommand(parsed.options, env, out, gStop);
    out.endProgress();
    const int code = finish(out, rc);
    jqz::StopSignalsRunEnded();
    return code;
}
