// The manual page against the program: every command and option that --help tells
// is in both languages' pages, the pages name no option the program lacks, and the
// two languages have the same sections and paragraphs.

#include "cli/CliArgs.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::string ReadPage(const char* lang) {
    std::ifstream in(std::string(MARLO_MANUAL_DIR) + "/man-" + lang + "/marlo-cli.1");
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The page as a reader sees the names: "\-" is a hyphen, font changes vanish.
std::string Plain(std::string page) {
    page = std::regex_replace(page, std::regex(R"(\\-)"), "-");
    return std::regex_replace(page, std::regex(R"(\\f[BIRP])"), "");
}

std::set<std::string> Options(const std::string& text) {
    static const std::regex option(R"((^|[^A-Za-z0-9-])(--[a-z][a-z-]*|-[a-z]))");
    std::set<std::string> found;
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option); it != std::sregex_iterator(); ++it)
        found.insert((*it)[2]);
    return found;
}

// The commands that --help lists: the words at the head of its lines under "コマンド:".
std::vector<std::string> HelpCommands() {
    std::istringstream help(kCliHelpText);
    std::vector<std::string> commands;
    bool inCommands = false;
    static const std::regex command(R"(^  ([a-z]+)( |$))");
    for (std::string line; std::getline(help, line);) {
        if (line == "コマンド:")
            inCommands = true;
        else if (!line.starts_with("  "))
            inCommands = false;
        std::smatch m;
        if (inCommands && std::regex_search(line, m, command))
            commands.push_back(m[1]);
    }
    return commands;
}

std::vector<std::string> Macros(const std::string& page) {
    std::istringstream lines(page);
    std::vector<std::string> macros;
    for (std::string line; std::getline(lines, line);)
        if (line.starts_with('.') && !line.starts_with(".\\\""))
            macros.push_back(line.substr(0, line.find(' ')));
    return macros;
}

TEST(Manual, TellsWhatTheProgramHasInBothLanguages) {
    const std::set<std::string> helpOptions = Options(std::string(kCliUsageText) + kCliHelpText);
    const std::vector<std::string> commands = HelpCommands();
    ASSERT_EQ(commands.size(), 7u);
    ASSERT_TRUE(helpOptions.contains("--dry-run"));
    for (const char* lang : {"en", "ja"}) {
        SCOPED_TRACE(lang);
        const std::string page = Plain(ReadPage(lang));
        ASSERT_FALSE(page.empty());
        EXPECT_EQ(Options(page), helpOptions);
        for (const std::string& name : commands)
            EXPECT_TRUE(page.find("\n.B " + name + "\n") != std::string::npos ||
                        page.find("\n" + name + " ") != std::string::npos)
                << name;
    }
    EXPECT_EQ(Macros(ReadPage("en")), Macros(ReadPage("ja")));
}

} // namespace
