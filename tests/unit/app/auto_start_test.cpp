#include "fakes/main_form_rig.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace glimor::app {
namespace {

using platform::CheckBox;
using ::testing::ElementsAre;

const std::string quoted = "\"C:\\Apps\\Glimor.exe\"";
const std::string cannotCreate =
    "Could not create Registry Key.\rCheck your Account Premissions  or contact System "
    "Administrator for more information.";
const std::string cannotRemove =
    "Could not remove Registry Key.\rCheck your Account Premissions  or contact System "
    "Administrator for more information.";

struct AutoStartTest : ::testing::Test, fakes::MainFormRig {
  AutoStartTest() { givenInstalled(); }
};

TEST_F(AutoStartTest, TheBoxMirrorsTheValueWithinHalfASecond) {
  form.create();
  timers.advance(500);
  EXPECT_FALSE(options.checked(CheckBox::AutoStart));
  givenRunValue(quoted);
  timers.advance(500);
  EXPECT_TRUE(options.checked(CheckBox::AutoStart));
}

TEST_F(AutoStartTest, AValuePointingElsewhereIsRepaired) {
  givenRunValue("\"D:\\Old\\Glimor.exe\"");
  form.create();
  timers.advance(500);
  EXPECT_EQ(registry.machine.keys[runKey]["Glimor"].data, quoted);
  EXPECT_TRUE(messages.shown.empty());
}

TEST_F(AutoStartTest, MouseUpWritesOrDeletesByTheBox) {
  form.create();
  options.setChecked(CheckBox::AutoStart, true);
  form.onAutoStartMouseUp();
  EXPECT_EQ(registry.machine.keys[runKey]["Glimor"].data, quoted);
  options.setChecked(CheckBox::AutoStart, false);
  form.onAutoStartMouseUp();
  EXPECT_FALSE(runValueExists());
  // Releasing over the unticked box again deletes a value that is not there.
  form.onAutoStartMouseUp();
  EXPECT_THAT(messages.shown, ElementsAre(cannotRemove));
}

TEST_F(AutoStartTest, KeyboardUntickIsUndoneByTheNextTick) {
  givenRunValue(quoted);
  form.create();
  options.setChecked(CheckBox::AutoStart, false); // Space: no mouse-up handler runs
  timers.advance(500);
  EXPECT_TRUE(options.checked(CheckBox::AutoStart));
  EXPECT_TRUE(runValueExists());
}

TEST_F(AutoStartTest, ADeniedKeyIsReportedOnceNotEveryTick) {
  form.create();
  registry.machine.denied = registry.user.denied = true;
  options.setChecked(CheckBox::AutoStart, true);
  // A tick that arrives while the message is open does not open another one.
  messages.whileOpen = [&] { timers.advance(500); };
  timers.advance(500);
  messages.whileOpen = nullptr;
  timers.advance(5000);
  EXPECT_THAT(messages.shown, ElementsAre(cannotCreate));
  // The user's own click always gets its answer.
  form.onAutoStartMouseUp();
  EXPECT_EQ(messages.shown.size(), 2u);
  // Once the key works again the value is repaired and a later failure is news again.
  registry.machine.denied = registry.user.denied = false;
  givenRunValue("\"D:\\Old\\Glimor.exe\"");
  timers.advance(500);
  EXPECT_EQ(registry.machine.keys[runKey]["Glimor"].data, quoted);
  registry.machine.denied = registry.user.denied = true;
  givenRunValue("\"D:\\Old\\Glimor.exe\"");
  timers.advance(500);
  timers.advance(500);
  EXPECT_EQ(messages.shown.size(), 3u);
}

TEST_F(AutoStartTest, AValueThatIsNotTextIsReportedOnce) {
  registry.machine.keys[runKey]["Glimor"] = {"\x01\x02", false};
  form.create();
  timers.advance(2000);
  EXPECT_THAT(messages.shown, ElementsAre("Invalid data type for 'Glimor'"));
}

TEST_F(AutoStartTest, AFailedWriteFromTheUserReachesTheErrorReport) {
  form.create();
  registry.machine.writeFails = true;
  options.setChecked(CheckBox::AutoStart, true);
  EXPECT_THROW(form.onAutoStartMouseUp(), Error);
}

// A standard user may read the machine's Run key but not write it: the value goes
// under the user's own key, and the box mirrors whichever holds it.
TEST_F(AutoStartTest, AStandardUserKeepsTheValueUnderTheirOwnRunKey) {
  registry.machine.readOnly = true;
  form.create();
  options.setChecked(CheckBox::AutoStart, true);
  form.onAutoStartMouseUp();
  auto& userRun = registry.user.keys[runKey];
  EXPECT_EQ(userRun["Glimor"].data, quoted);
  EXPECT_FALSE(runValueExists());
  options.setChecked(CheckBox::AutoStart, false);
  form.onAutoStartMouseUp();
  EXPECT_FALSE(userRun.count("Glimor"));
  timers.advance(500);
  EXPECT_FALSE(options.checked(CheckBox::AutoStart));
  // A value an administrator put under the machine's key is seen, and left alone.
  givenRunValue(quoted);
  timers.advance(500);
  EXPECT_TRUE(options.checked(CheckBox::AutoStart));
  EXPECT_FALSE(userRun.count("Glimor"));
  // Unticking cannot delete it: the user is told, as for any value that cannot be removed.
  options.setChecked(CheckBox::AutoStart, false);
  form.onAutoStartMouseUp();
  EXPECT_THAT(messages.shown, ElementsAre(cannotRemove));
  // A moved executable is started from the user's key; the stale machine value stays.
  givenRunValue("\"D:\\Old\\Glimor.exe\"");
  timers.advance(1000);
  EXPECT_EQ(userRun["Glimor"].data, quoted);
  EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(AutoStartTest, TheMachineKeyComesFirstAndOneValueIsKept) {
  registry.user.keys[runKey]["Glimor"] = {"\"D:\\Old\\Glimor.exe\"", true};
  form.create();
  timers.advance(500);
  EXPECT_TRUE(options.checked(CheckBox::AutoStart));
  EXPECT_EQ(registry.machine.keys[runKey]["Glimor"].data, quoted);
  EXPECT_FALSE(registry.user.keys[runKey].count("Glimor"));
}

} // namespace
} // namespace glimor::app
