#include "fakes/fake_clipboard.h"
#include "fakes/fake_link_page.h"
#include "fakes/fake_processes.h"
#include "net/link_actions.h"

#include <gtest/gtest.h>

namespace glimor::net {
namespace {

class LinkActionsTest : public ::testing::Test {
protected:
  void browser(std::string command) { processes.classesRoot["htmlfile\\shell\\open\\command"] = command; }
  const fakes::FakeProcesses::Start& onlyStart() {
    EXPECT_EQ(processes.started.size(), 1u);
    return processes.started.at(0);
  }

  fakes::FakeLinkPage page;
  fakes::FakeClipboard clipboard;
  fakes::FakeProcesses processes;
  std::string host = "img.example:8080";
  LinkActions actions{page, clipboard, processes, [&] { return ServiceEndpoints(host); }};
};

TEST_F(LinkActionsTest, CopyPutsTheLinkAsShownUpToANul) {
  page.directLink = "http://img.example:8080/edited";
  actions.copyLink();
  EXPECT_EQ(clipboard.content, "http://img.example:8080/edited");

  page.directLink = std::string("abc\0def", 7);
  actions.copyLink();
  EXPECT_EQ(clipboard.content, "abc");

  page.directLink = "";
  actions.copyLink();
  EXPECT_EQ(clipboard.content, "");
}

TEST_F(LinkActionsTest, CopyRetriesWhileAnotherProgramHoldsTheClipboard) {
  clipboard.busyFor = 3;
  EXPECT_TRUE(copyTextToClipboard(clipboard, "link"));
  EXPECT_EQ(clipboard.content, "link");
  EXPECT_EQ(clipboard.attempts, 4);
  EXPECT_EQ(clipboard.pauses, (std::vector<unsigned>{50, 50, 50}));

  fakes::FakeClipboard heldForGood;
  heldForGood.busyFor = 1000;
  EXPECT_FALSE(copyTextToClipboard(heldForGood, "link"));
  EXPECT_EQ(heldForGood.attempts, 10);
  EXPECT_FALSE(heldForGood.content);
}

TEST_F(LinkActionsTest, OpensAServiceLinkWithTheRegisteredBrowsersPathAndOptions) {
  browser("\"C:\\Program Files\\Web\\viewer.exe\" -nohome");
  page.directLink = "http://img.example:8080/abc";
  actions.openLink();
  EXPECT_EQ(onlyStart().application, "C:\\Program Files\\Web\\viewer.exe");
  EXPECT_EQ(onlyStart().commandLine, " -nohome \"http://img.example:8080/abc\"");

  host = "https://img.example"; // Glimor.ini changed: the next click opens links of that service only
  actions.openLink();
  page.directLink = "https://img.example/abc";
  actions.openLink();
  ASSERT_EQ(processes.started.size(), 2u);
  EXPECT_EQ(processes.started[1].commandLine, " -nohome \"https://img.example/abc\"");
}

TEST_F(LinkActionsTest, PassesThePlaceholderOnAndKeepsTheLinkUntrimmed) {
  browser("C:\\Browser\\b.exe -url \"%1\"");
  page.directLink = " http://img.example:8080/abc";
  actions.openLink();
  EXPECT_EQ(onlyStart().application, "C:\\Browser\\b.exe");
  EXPECT_EQ(onlyStart().commandLine, " -url %1 \" http://img.example:8080/abc\"");
}

TEST_F(LinkActionsTest, OpensNothingForLinksOffTheService) {
  browser("\"C:\\b.exe\"");
  for (const char* link : {"http://IMG.example:8080/abc", "http://img.example:8080", "", "http://evil/x",
                           "https://img.example:8080/abc",
                           // a quote or a control character could hand the browser switches of its own
                           "http://img.example:8080/abc\" --some-switch x", "http://img.example:8080/a\tb"}) {
    page.directLink = link;
    actions.openLink();
  }
  EXPECT_TRUE(processes.started.empty());
}

TEST_F(LinkActionsTest, WithoutAUsableAssociationTheStartFailsQuietly) {
  page.directLink = "http://img.example:8080/abc";
  actions.openLink(); // no key at all
  browser("C:\\B\\BROWSER.EXE");
  actions.openLink(); // capitals are not the separator
  ASSERT_EQ(processes.started.size(), 2u);
  EXPECT_EQ(processes.started[0].application, ".exe");
  EXPECT_EQ(processes.started[0].commandLine, " \"http://img.example:8080/abc\"");
  EXPECT_EQ(processes.started[1].application, "C:\\B\\BROWSER.EXE.exe");

  processes.defaultIsBinary = true;
  EXPECT_THROW(actions.openLink(), Error);
  EXPECT_EQ(processes.started.size(), 2u);
}

} // namespace
} // namespace glimor::net
