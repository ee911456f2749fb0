// Command-line reading shared by the tools: CLI11 with our own help text and one-line errors.
#pragma once

#include <CLI/CLI.hpp>

#include <cstring>
#include <functional>
#include <initializer_list>
#include <string>

// Reads the options into app. --help and -h print helptext on standard output and end with
// status 0. Anything else wrong goes to bad (which must not return) as one line: an unknown
// option or a flag given a value ("unknown option '...'"), an argument beyond the positional ones
// ("unexpected argument '...'"), an option missing its value ("... needs a value"), or CLI11's
// own message.
inline void parsecommandline(CLI::App& app, int argc, char** argv, const std::string& helptext,
                             const std::function<void(const std::string&)>& bad) {
    app.set_help_flag();
    app.allow_extras();
    bool help = false;
    app.add_flag("-h,--help", help);
    for (int i = 1; i < argc; ++i) {
        // CLI11 would read "--flag=value" as setting the flag; none of our flags takes a value.
        const char* eq = std::strchr(argv[i], '=');
        if (std::strncmp(argv[i], "--", 2) != 0 || !eq) continue;
        std::string name(argv[i], static_cast<size_t>(eq - argv[i]));
        for (const CLI::Option* o : app.get_options())
            if (o->get_expected_min() == 0 && o->get_items_expected_max() == 0 &&
                o->check_lname(name.substr(2)))
                bad("unknown option '" + std::string(argv[i]) + "'");
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::ArgumentMismatch&) {
        // Only a value missing at the end of the line gets here: name the option as typed.
        bad(std::string(argv[argc - 1]) + " needs a value");
    } catch (const CLI::ParseError& e) {
        bad(e.what());
    }
    if (help) {
        std::fputs(helptext.c_str(), stdout);
        std::exit(0);
    }
    if (!app.remaining().empty()) {
        const std::string extra = app.remaining().front();
        bad((extra.size() > 1 && extra[0] == '-' ? "unknown option '" : "unexpected argument '") + extra +
            "'");
    }
}

// The spelling of an option the user typed last ("-n" or "--count"), for messages; the first
// name when none was typed.
inline std::string typedname(int argc, char** argv, std::initializer_list<const char*> names) {
    std::string found = *names.begin();
    for (int i = 1; i < argc; ++i)
        for (const char* n : names) {
            size_t len = std::strlen(n);
            if (std::strncmp(argv[i], n, len) == 0 &&
                (argv[i][len] == 0 || argv[i][len] == '=' || n[1] != '-'))
                found = n;
        }
    return found;
}
