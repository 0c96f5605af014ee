#pragma once
// The subcommands of qorfx. Each lives in a source of its own and adds itself to the command line
// with one function; main parses the line and runs the command that was chosen.

#include <functional>

#include <CLI/CLI.hpp>

#include "tools/qorfx/Session.h"

namespace qorfx {

struct Command {
    CLI::App* cli = nullptr;
    std::function<int(const Options&)> run;  // called after parsing, with the global options
};

Command addListCommand(CLI::App& app);
Command addDescribeCommand(CLI::App& app);
Command addApplyCommand(CLI::App& app);
Command addGalleryCommand(CLI::App& app);
Command addValidateCommand(CLI::App& app);
Command addDetectSkinCommand(CLI::App& app);

// Opens the module for `options` and runs `body` on it; the error exit when it cannot be opened.
int withSession(const Options& options, const std::function<int(Session&)>& body);

}  // namespace qorfx
