// The help pages of the source tree name every option of their command.
#include "fakeworld.h"
#include "help/helpcommand.h"
#include "macros/macrocommand.h"
#include "ping/pingoptions.h"

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The options of a table (and /? and /??) missing from the option table of
// its page: a switch stands alone in its cell ("<td>/Q</td>"), a valued
// option has its value after it ("<td>/N:n", "<td>/P[:time]").
template <class Row>
std::vector<std::string> Missing(const char *name, const Row *rows, size_t count)
{
    std::ifstream file(std::string("Z:" SONARO_SOURCE_DIR "/help/") + name, std::ios::binary);
    std::string page((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::vector<std::pair<std::string, OptionForm>> options = {{"?", OPTION_SWITCH}, {"??", OPTION_SWITCH}};
    for (size_t i = 0; i < count; i++) {
        if (rows[i].Form != OPTION_NONE)
            options.push_back({Narrow(rows[i].Letters), rows[i].Form});
    }
    std::vector<std::string> missing;
    for (const auto &[letters, form] : options) {
        std::string cell = "<td>/" + letters;
        bool found = false;
        for (size_t at = page.find(cell); at != std::string::npos && !found; at = page.find(cell, at + 1)) {
            char next = at + cell.size() < page.size() ? page[at + cell.size()] : 0;
            found = form == OPTION_SWITCH ? next == '<' : next == ':' || next == '[';
        }
        if (!found)
            missing.push_back("/" + letters);
    }
    return missing;
}

}  // namespace

using HelpPagesTest = FakeWorldTest;

TEST_F(HelpPagesTest, EveryOptionIsOnItsCommandsPage)
{
    const std::vector<std::string> none;
    EXPECT_EQ(Missing("sonaro.html", PingOptionTable, PingOptionCount), none);
    EXPECT_EQ(Missing("sonaromacro.html", MacroOptionTable, MacroOptionCount), none);
    EXPECT_EQ(Missing("sonarohelp.html", HelpOptionTable, HelpOptionCount), none);
}
