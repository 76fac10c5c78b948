#include "multipart.h"
#include "refusal.h"
#include "temp_folder.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace glimor::server {
namespace {

using testing::programUploadBody;

int refusalStatus(auto&& call) {
  try {
    call();
  } catch (const Refusal& refusal) {
    return refusal.status();
  }
  return 0;
}

TEST(MultipartBoundary, TakenFromTheContentTypeAsSentOrUnfolded) {
  EXPECT_EQ(boundaryOfContentType("multipart/form-data; boundary=---------------------------7d6891e3b0542"),
            "---------------------------7d6891e3b0542");
  // A folded line arrives with whatever whitespace the unfolding left.
  EXPECT_EQ(boundaryOfContentType("multipart/form-data;\t  boundary=abc"), "abc");
  EXPECT_EQ(boundaryOfContentType("Multipart/Form-Data; charset=x; BOUNDARY=\"a b:c\""), "a b:c");
}

TEST(MultipartBoundary, RefusesOtherTypesAndBadBoundaries) {
  EXPECT_EQ(refusalStatus([] { boundaryOfContentType("application/x-www-form-urlencoded"); }), 415);
  EXPECT_EQ(refusalStatus([] { boundaryOfContentType("multipart/form-data"); }), 400);
  EXPECT_EQ(refusalStatus([] { boundaryOfContentType("multipart/form-data; boundary="); }), 400);
  EXPECT_EQ(refusalStatus([] { boundaryOfContentType("multipart/form-data; boundary=\"open"); }), 400);
  EXPECT_EQ(
      refusalStatus([] { boundaryOfContentType("multipart/form-data; boundary=" + std::string(71, 'a')); }),
      400);
  EXPECT_EQ(refusalStatus([] { boundaryOfContentType("multipart/form-data; boundary=a\r\nb"); }), 400);
}

TEST(Multipart, ReadsTheProgramsUploadBody) {
  std::string image = testing::jpegBytes();
  std::string body = programUploadBody("C:\\Apps\\Glimor\\Glimor.jpg", "jpg", image);
  auto parts = parseMultipart(body, "---------------------------7d6891e3b0542");
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].name, "imgfile");
  EXPECT_EQ(parts[0].fileName, "C:\\Apps\\Glimor\\Glimor.jpg"); // backslashes are not escapes
  EXPECT_EQ(parts[0].contentType, "image/jpg");
  EXPECT_EQ(parts[0].content, image);
}

TEST(Multipart, ContentMayHoldBoundaryLookalikes) {
  // Only CR LF "--b" ends the content; these near misses belong to it.
  const std::string image = "--b first\r\n-b\r\n---b-\r\n--c\n--b" + std::string("\0\r\n", 3);
  std::string body = "--b\r\nContent-Disposition: form-data; name=\"imgfile\"; filename=\"x\"\r\n\r\n" +
                     image + "\r\n--b\r\nContent-Disposition: form-data; name=\"other\"\r\n\r\nv\r\n--b--";
  auto parts = parseMultipart(body, "b");
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].content, image);
  EXPECT_EQ(parts[1].name, "other");
  EXPECT_FALSE(parts[1].fileName.has_value());
  EXPECT_EQ(parts[1].content, "v");
}

TEST(Multipart, RefusesMalformedBodies) {
  std::string good = programUploadBody("a.png", "png", testing::pngBytes());
  const std::string boundary = "---------------------------7d6891e3b0542";
  auto statusOf = [&](const std::string& body) {
    return refusalStatus([&] { parseMultipart(body, boundary); });
  };

  EXPECT_EQ(statusOf(good), 0);
  EXPECT_EQ(statusOf(""), 400);
  EXPECT_EQ(statusOf(good.substr(0, good.size() - 10)), 400) << "closing delimiter cut off";
  EXPECT_EQ(statusOf(good.substr(0, 60)), 400) << "cut inside the part header";
  EXPECT_EQ(statusOf("preamble\r\n" + good), 400);
  EXPECT_EQ(statusOf("--" + boundary + "--\r\n"), 400) << "no parts";
  EXPECT_EQ(statusOf("--" + boundary + "\r\nContent-Type: image/png\r\n\r\nx\r\n--" + boundary + "--"), 400)
      << "no Content-Disposition";
  EXPECT_EQ(statusOf("--" + boundary +
                     "\r\nContent-Disposition: attachment; name=\"imgfile\"\r\n\r\nx\r\n--" + boundary +
                     "--"),
            400);
  EXPECT_EQ(statusOf("--" + boundary + "\r\nContent-Disposition: form-data; filename=\"a\"\r\n\r\nx\r\n--" +
                     boundary + "--"),
            400)
      << "no name";
  EXPECT_EQ(statusOf("--" + boundary + "\r\nno colon here\r\n\r\nx\r\n--" + boundary + "--"), 400);
  EXPECT_EQ(statusOf("--" + boundary + "XY"), 400) << "delimiter followed by junk";
}

TEST(Multipart, BoundsThePartCountAndHeaderSize) {
  std::string many;
  for (int i = 0; i < 17; ++i) many += "--b\r\nContent-Disposition: form-data; name=\"f\"\r\n\r\nv\r\n";
  many += "--b--";
  EXPECT_EQ(refusalStatus([&] { parseMultipart(many, "b"); }), 400);

  std::string bigHeader =
      "--b\r\nContent-Disposition: form-data; name=\"f\"\r\nX: " + std::string(9000, 'x') +
      "\r\n\r\nv\r\n--b--";
  EXPECT_EQ(refusalStatus([&] { parseMultipart(bigHeader, "b"); }), 400);
}

} // namespace
} // namespace glimor::server
