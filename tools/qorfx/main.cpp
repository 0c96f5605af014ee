// qorfx: the reference host. It loads the effect module exactly as a video editor does and
// applies its effects to pictures.

#include <iostream>
#include <vector>

#include "tools/qorfx/Commands.h"

using namespace qorfx;

int qorfx::withSession(const Options& options, const std::function<int(Session&)>& body) {
    Session session(options);
    if (!session.open()) return fail(session.error());
    return body(session);
}

namespace {

// The first word that names no command, skipping the values of the global options.
std::string unknownCommand(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--module" || word == "--effects" || word == "--ai-dir") ++i;
        else if (word.empty() || word[0] != '-') return word;
    }
    return {};
}

// A parse error as a "qorfx:" message with what to do, and exit code 1.
int usageError(const CLI::App& app, const CLI::ParseError& error, int argc, char** argv) {
    const CLI::App* command = nullptr;
    for (const CLI::App* sub : app.get_subcommands()) command = sub;
    if (!command) {
        std::string names;
        for (const CLI::App* sub : app.get_subcommands({})) names += (names.empty() ? "" : ", ") + sub->get_name();
        const std::string word = unknownCommand(argc, argv);
        return fail((word.empty() ? "no command given" : "unknown command \"" + word + "\"") +
                    "; the commands are " + names + " (`qorfx --help` shows the usage)");
    }
    return fail(std::string(error.what()) + " (`qorfx " + command->get_name() + " --help` shows the usage)");
}

}  // namespace

int main(int argc, char** argv) {
    Options options = defaultOptions();

    CLI::App app{"qorfx - applies the effects of the qorCommonFxPlugin module to pictures, as a video editor would"};
    app.require_subcommand(1);
    app.option_defaults()->always_capture_default();
    app.set_version_flag("--version", std::string("qorfx ") + QORFX_VERSION);
    app.add_option("--module", options.module, "the effect module to load");
    app.add_option("--effects", options.effects, "effect root: the folder holding qor_effect/plugin/CommonFx");
    app.add_option("--ai-dir", options.aiFolder, "the folder of the AI module");
    app.add_flag("-v,--verbose", options.verbose, "show the module's diagnostic messages");

    const std::vector<Command> commands = {addListCommand(app), addDescribeCommand(app), addApplyCommand(app),
                                           addGalleryCommand(app), addValidateCommand(app),
                                           addDetectSkinCommand(app)};
    for (const Command& command : commands) {
        command.cli->add_flag("-v,--verbose", options.verbose, "show the module's diagnostic messages");
    }

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return kExitOk;
    } catch (const CLI::CallForAllHelp&) {
        std::cout << app.help("", CLI::AppFormatMode::All);
        return kExitOk;
    } catch (const CLI::CallForVersion&) {
        std::cout << app.version() << "\n";
        return kExitOk;
    } catch (const CLI::ParseError& error) {
        return usageError(app, error, argc, argv);
    }
    for (const Command& command : commands) {
        if (command.cli->parsed()) return command.run(options);
    }
    return fail("no command given (`qorfx --help` lists them)");
}

