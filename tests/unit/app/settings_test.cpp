#include "app/record_settings.h"
#include "app/settings.h"
#include "fakes/fake_profile.h"
#include "platform/error.h"

#include <gtest/gtest.h>

namespace glimor::app {
namespace {

struct SettingsTest : ::testing::Test {
  fakes::FakeProfile profile;
  Settings settings{profile};
  void given(const std::string& key, const std::string& value) { profile.values[{"Options", key}] = value; }
};

TEST_F(SettingsTest, IntegersAreDecimalOrZeroXHex) {
  given("HotKey", "0x4072");
  EXPECT_EQ(settings.read(platform::ini::hotKey), 16498); // Ctrl+F3
  given("HotKey", "0X4072");
  EXPECT_EQ(settings.read(platform::ini::hotKey), 16498);
  given("HotKey", "16498");
  EXPECT_EQ(settings.read(platform::ini::hotKey), 16498);
  given("HotKey", "-7");
  EXPECT_EQ(settings.read(platform::ini::hotKey), -7);
}

TEST_F(SettingsTest, UnparsableOrMissingValuesGiveTheDefault) {
  EXPECT_EQ(settings.read(platform::ini::installed), 0);
  for (const char* bad : {"", "abc", "12abc", "0x", "0xZZ", "99999999999", "1.5", "--1"}) {
    given("Installed", bad);
    EXPECT_EQ(settings.read(platform::ini::Number{{"Options", "Installed"}, 42}), 42) << bad;
  }
}

TEST_F(SettingsTest, BooleansAreIntegersNonZeroIsTrue) {
  EXPECT_TRUE(settings.read(platform::ini::fade));
  given("Fade", "2");
  EXPECT_TRUE(settings.read(platform::ini::Flag{{"Options", "Fade"}, false}));
  given("Fade", "0");
  EXPECT_FALSE(settings.read(platform::ini::fade));
  given("Fade", "yes");
  EXPECT_TRUE(settings.read(platform::ini::fade));
  settings.write(platform::ini::fade, true);
  EXPECT_EQ((profile.values[{"Options", "Fade"}]), "1");
  settings.write(platform::ini::fade, false);
  EXPECT_EQ((profile.values[{"Options", "Fade"}]), "0");
}

TEST_F(SettingsTest, TextIsReadUpTo2047Characters) {
  given("ImgType", std::string(3000, 'a'));
  EXPECT_EQ(settings.read(platform::ini::imageType).size(), 2047u);
  EXPECT_EQ(settings.read(platform::ini::Text{{"Options", "Missing"}, "JPEG"}), "JPEG");
}

TEST_F(SettingsTest, AFailedWriteNamesTheFileAndStoresNothing) {
  profile.readOnly = true;
  try {
    settings.write(platform::ini::installed, 1);
    FAIL() << "no error";
  } catch (const Error& e) {
    EXPECT_STREQ(e.what(), "Unable to write to C:\\Apps\\Glimor.ini");
  }
  EXPECT_TRUE(profile.values.empty());
}

TEST_F(SettingsTest, ServiceHostDefaultsToTheLocalService) {
  EXPECT_EQ(settings.serviceHost(), "localhost:8080");
  profile.values[{"Service", "Host"}] = "images.example:9000";
  EXPECT_EQ(settings.serviceHost(), "images.example:9000");
  profile.values[{"Service", "Host"}] = "";
  EXPECT_EQ(settings.serviceHost(), "localhost:8080");
}

TEST_F(SettingsTest, TheLinkCopiedIsTheImagesUnlessLinkSaysPage) {
  EXPECT_FALSE(settings.servicePageLink());
  for (auto [value, page] : {std::pair{"Page", true}, {"page", true}, {"Direct", false}, {"", false}}) {
    profile.values[{"Service", "Link"}] = value;
    EXPECT_EQ(settings.servicePageLink(), page) << value;
  }
  profile.values[{"Service", "Link"}] = "Pages";
  try {
    settings.servicePageLink();
    ADD_FAILURE() << "an unknown value is an error";
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(),
                 "Glimor.ini: [Service] Link is \"Pages\"; it may be Page (copy the upload's page) or "
                 "Direct (copy the image's link).");
  }
}

TEST_F(SettingsTest, AnUploadTokenIsStoredOnlyWhenItCanBeSentAsItIs) {
  settings.setServiceToken("Zm9v-bar.baz_~+/=");
  EXPECT_EQ(settings.serviceToken(), "Zm9v-bar.baz_~+/=");
  auto refusal = [&](const std::string& token) {
    try {
      settings.setServiceToken(token);
    } catch (const Error& e) {
      return std::string(e.what());
    }
    return std::string("stored");
  };
  for (const char* bad : {"has space", "tab\t", "new\nline", "=abc", "a=b", "\xE9t\xE9", "a,b"})
    EXPECT_EQ(refusal(bad), "The upload token may hold only letters, digits and - . _ ~ + / (with = only at "
                            "its end); it was not saved.")
        << bad;
  EXPECT_EQ(refusal(std::string(2048, 'a')),
            "The upload token may be at most 2047 characters long; it was not saved.");
  EXPECT_EQ(refusal(std::string(2047, 'a')), "stored");
  EXPECT_EQ(refusal(""), "stored");
  EXPECT_EQ(settings.serviceToken(), "");
  profile.readOnly = true;
  EXPECT_EQ(refusal("abc"), "Unable to write to C:\\Apps\\Glimor.ini");
}

TEST_F(SettingsTest, AnUpdateKeyInTheFileIsTakenAsItIsEvenWhenWrong) {
  EXPECT_EQ(settings.updatePublicKey("built-in"), "built-in");
  for (const char* value : {"ab12", ""}) {
    profile.values[{"Update", "PublicKey"}] = value;
    EXPECT_EQ(settings.updatePublicKey("built-in"), value); // reported by the check, never replaced
  }
}

TEST_F(SettingsTest, RecordingSettingsKeepToTheirRangesAndUnreadableValuesGiveTheDefaults) {
  RecordSettings defaults = RecordSettings::read(profile);
  EXPECT_EQ(defaults.seconds, 30);
  EXPECT_EQ(defaults.fps, 15);
  EXPECT_TRUE(defaults.cursor);
  EXPECT_EQ(defaults.type, platform::RecordingType::Gif);
  auto with = [&](const char* seconds, const char* fps, const char* cursor, const char* type) {
    profile.values[{"Record", "Seconds"}] = seconds;
    profile.values[{"Record", "Fps"}] = fps;
    profile.values[{"Record", "Cursor"}] = cursor;
    profile.values[{"Record", "Type"}] = type;
    return RecordSettings::read(profile);
  };
  RecordSettings clamped = with("900", "0", "0", "webm");
  EXPECT_EQ(clamped.seconds, 300);
  EXPECT_EQ(clamped.fps, 1);
  EXPECT_FALSE(clamped.cursor);
  EXPECT_EQ(clamped.type, platform::RecordingType::WebM);
  RecordSettings unreadable = with("ten", "-4", "yes", "MP4");
  EXPECT_EQ(unreadable.seconds, 30);
  EXPECT_EQ(unreadable.fps, 1);
  EXPECT_TRUE(unreadable.cursor);
  EXPECT_EQ(unreadable.type, platform::RecordingType::Gif);
  RecordSettings::writeType(profile, platform::RecordingType::WebM);
  EXPECT_EQ(RecordSettings::read(profile).type, platform::RecordingType::WebM);
  EXPECT_EQ(recordingFileFor("C:\\Apps\\Glimor.exe", platform::RecordingType::WebM),
            "C:\\Apps\\GlimorRecording.webm");
  profile.readOnly = true;
  EXPECT_THROW(RecordSettings::writeType(profile, platform::RecordingType::Gif), Error);
}

} // namespace
} // namespace glimor::app
