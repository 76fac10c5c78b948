#include "platform/error.h"
#include "s3_xml.h"

#include <gtest/gtest.h>

namespace glimor::server::s3 {
namespace {

TEST(S3Answers, ErrorCodeAndMessageWithEntities) {
  auto error =
      parseError("<?xml version=\"1.0\" encoding=\"UTF-8\"?><Error><Code>SignatureDoesNotMatch</Code>"
                 "<Message>a &lt;b&gt; &amp; &quot;c&quot;</Message><RequestId>x</RequestId></Error>");
  EXPECT_EQ(error.code, "SignatureDoesNotMatch");
  EXPECT_EQ(error.message, "a <b> & \"c\"");
  EXPECT_EQ(parseError("not xml").code, "");
}

TEST(S3Answers, ListingPagesAndTheirEntries) {
  auto page = parseListing(
      "<ListBucketResult xmlns=\"http://s3.amazonaws.com/doc/2006-03-01/\"><Name>b</Name>"
      "<IsTruncated>true</IsTruncated><NextContinuationToken>1ueGcxLPRx1Tr/XYExHnhbYLgveDs2J/wm36Hy4vbOwM="
      "</NextContinuationToken><Contents><Key>images/a&amp;b</Key><LastModified>2026-12-11T01:47:52.000Z"
      "</LastModified><Size>1048576</Size></Contents><Contents><Key>images/c</Key><Size>0</Size></Contents>"
      "</ListBucketResult>");
  ASSERT_EQ(page.objects.size(), 2u);
  EXPECT_EQ(page.objects[0].key, "images/a&b");
  EXPECT_EQ(page.objects[0].size, 1048576u);
  EXPECT_EQ(page.objects[0].modified, 1796953672);
  EXPECT_EQ(page.objects[1].modified, 0);
  EXPECT_EQ(page.continuation, "1ueGcxLPRx1Tr/XYExHnhbYLgveDs2J/wm36Hy4vbOwM=");

  auto last = parseListing("<ListBucketResult><IsTruncated>false</IsTruncated></ListBucketResult>");
  EXPECT_TRUE(last.objects.empty());
  EXPECT_FALSE(last.continuation);
}

TEST(S3Answers, BrokenListingsAreRefused) {
  EXPECT_THROW(parseListing("<Error><Code>AccessDenied</Code></Error>"), Error);
  EXPECT_THROW(
      parseListing("<ListBucketResult><Contents><Key>k</Key><Size>x1</Size></Contents></ListBucketResult>"),
      Error);
  EXPECT_THROW(parseListing("<ListBucketResult><IsTruncated>true</IsTruncated></ListBucketResult>"), Error);
}

} // namespace
} // namespace glimor::server::s3
