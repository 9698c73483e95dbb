// Where a station's ledger lives when none is named, and that init makes its folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>

#include "ledger/Ledger.h"
#include "support/TempDir.h"

namespace imgdl::ledger {
namespace {

// Sets (or with nullptr removes) an environment variable for one scope.
class ScopedEnv {
  public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value)
            ::setenv(name, value, 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_)
            ::setenv(name_, old_->c_str(), 1);
        else
            ::unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

  private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(LedgerPathTest, DefaultFollowsXdgDataHome) {
    const struct {
        const char* xdg;
        const char* expected;
    } cases[] = {
        {"/srv/data", "/srv/data/imgdl/ledger.sqlite"},
        {nullptr, "/home/tech/.local/share/imgdl/ledger.sqlite"},
        {"", "/home/tech/.local/share/imgdl/ledger.sqlite"},
        {"relative/data", "/home/tech/.local/share/imgdl/ledger.sqlite"},  // ignored by XDG
    };
    ScopedEnv home("HOME", "/home/tech");
    for (const auto& c : cases) {
        ScopedEnv xdg("XDG_DATA_HOME", c.xdg);
        EXPECT_EQ(DefaultLedgerPath(), c.expected) << (c.xdg ? c.xdg : "(unset)");
    }
}

TEST(LedgerPathTest, InitCreatesTheFolder) {
    test::TempDir dir;
    ScopedEnv xdg("XDG_DATA_HOME", dir.path().c_str());
    const std::string path = DefaultLedgerPath();
    auto ledger = OpenLedger(path);
    ASSERT_TRUE(ledger.ok());
    EXPECT_EQ(ledger.value()->status().error().code, LedgerErrc::NotInitialised);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "imgdl"));
    const LedgerError e = ledger.value()->init("0012AB000000", "0012AB0000FF", 1);
    ASSERT_FALSE(e.failed()) << e.message;
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
}

}  // namespace
}  // namespace imgdl::ledger
