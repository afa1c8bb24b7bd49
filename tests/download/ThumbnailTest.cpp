#include "download/Thumbnail.h"

#include <cstdlib>
#include <filesystem>
#include <optional>

#include <gtest/gtest.h>

#include "app/Settings.h"
#include "net/NetCodes.h"
#include "net/ServiceAddress.h"
#include "resources/MessageIds.h"
#include "tests/download/DownloadTestSupport.h"
#include "tests/net/FakeServiceFixture.h"
#include "text/AppHome.h"
#include "text/Encoding.h"

namespace quippet {
namespace {

namespace fs = std::filesystem;
using test::MemoryReport;
using test::read_bytes;
using test::write_bytes;

/// The service's thumbnail of smN: 2000 + 13 N bytes, 5000 more for the large one.
long long thumb_size(int n, bool large = false) {
    return 2000 + 13LL * n + (large ? 5000 : 0);
}

std::string jpeg(size_t size, bool with_end = true) {
    std::string b(size, 'x');
    b[0] = '\xFF', b[1] = '\xD8', b[2] = '\xFF', b[3] = '\xE0';
    if (with_end) b[size - 2] = '\xFF', b[size - 1] = '\xD9';
    return b;
}

TEST(ThumbnailImage, TypeByMagicAndBrokenJpeg) {
    EXPECT_EQ(image_type_of("\xFF\xD8\xFF\xDB"), ImageType::kJpeg);
    EXPECT_EQ(image_type_of("\x89PNG\r\n\x1a\n...."), ImageType::kPng);
    EXPECT_EQ(image_type_of("GIF89a.."), ImageType::kGif);
    using namespace std::string_view_literals;
    EXPECT_EQ(image_type_of("RIFF\x10\0\0\0WEBPVP8 "sv), ImageType::kWebp);
    EXPECT_EQ(image_type_of("RIFF\x10\0\0\0WAVEfmt "sv), ImageType::kUnknown);
    EXPECT_EQ(image_type_of("<html>404</html>"), ImageType::kUnknown);
    EXPECT_EQ(image_type_of(""), ImageType::kUnknown);

    char dir_template[] = "/tmp/quippet-image-test-XXXXXX";
    ASSERT_NE(mkdtemp(dir_template), nullptr);
    const std::u16string dir = from_utf8(dir_template);
    struct Case {
        std::string bytes;
        int code;
    };
    std::string padded = jpeg(3000);
    padded += std::string(40, '\0'); // encoders may pad after the end marker
    for (const Case& c :
         {Case{jpeg(3000), 0}, Case{padded, 0}, Case{jpeg(3000, false), msg::kBrokenJpeg},
          Case{std::string("\xFF\xD8\xFF"), msg::kBrokenJpeg}, Case{std::string("\x89PNG\r\n\x1a\nrest"), 0},
          Case{std::string("<html>error 403</html>"), msg::kImageTypeUnknown},
          Case{std::string(), msg::kImageTypeUnknown}}) {
        write_bytes(dir + u"/i", c.bytes);
        EXPECT_EQ(check_image_file(dir + u"/i"), c.code) << c.bytes.size();
    }
    EXPECT_EQ(check_image_file(dir + u"/missing"), msg::kImageTypeUnknown);
    fs::remove_all(dir_template);
}

TEST(ThumbnailImage, WhichAddressesHaveALargeVariant) {
    EXPECT_TRUE(has_large_variant(u"http://h/thumb/9"));
    EXPECT_TRUE(has_large_variant(u"https://h/smile?i=123456"));
    EXPECT_FALSE(has_large_variant(u"https://h/thumb/9.L"));
    EXPECT_FALSE(has_large_variant(u"https://h/thumb/9.M"));
    EXPECT_FALSE(has_large_variant(u"https://h/img/a.jpg"));
    EXPECT_FALSE(has_large_variant(u"https://h/x?id=12"));
    EXPECT_FALSE(has_large_variant(u"no-slash-1"));
    EXPECT_TRUE(is_deleted_image_url(u"https://h/img/common/video_deleted.jpg"));
    EXPECT_FALSE(is_deleted_image_url(u"https://h/thumb/9"));
}

/// Thumbnails from the replacement service; the desktop trash is a scratch folder of the test.
class ThumbnailTest : public test::FakeServiceTest {
protected:
    void SetUp() override {
        test::FakeServiceTest::SetUp();
        dir_ = scratch_dir();
        if (const char* old = std::getenv("XDG_DATA_HOME")) saved_xdg_ = old;
        setenv("XDG_DATA_HOME", (to_utf8(dir_) + "data").c_str(), 1);
        fs::create_directories(to_fs_path(dir_ + u"cache"));
        fs::create_directories(to_fs_path(dir_ + u"out"));
    }
    void TearDown() override {
        if (saved_xdg_)
            setenv("XDG_DATA_HOME", saved_xdg_->c_str(), 1);
        else
            unsetenv("XDG_DATA_HOME");
        test::FakeServiceTest::TearDown();
    }
    ThumbnailOptions options() const {
        ThumbnailOptions o;
        o.cache_folder = dir_ + u"cache";
        o.net = service().options();
        return o;
    }
    CWorkMovieInfo video(int n) const {
        CWorkMovieInfo info;
        info.id = u"sm" + decimal_text(n);
        info.status = InfoStatus::kOk;
        info.thumbnail_url = service().root(false) + u"/thumb/" + decimal_text(n);
        return info;
    }
    int save(const CWorkMovieInfo& info, const ThumbnailOptions& o, ThumbnailResult& r, bool large = false) {
        return save_thumbnail(info, dir_ + u"out", u"name", large, o, report_, r);
    }
    std::u16string out(const char16_t* name) const { return dir_ + u"out/" + name; }

    std::u16string dir_;
    std::optional<std::string> saved_xdg_;
    MemoryReport report_;
};

TEST_F(ThumbnailTest, DownloadThenSavedBefore) {
    ThumbnailResult r;
    ASSERT_EQ(save(video(8), options(), r), 0);
    EXPECT_EQ(r.code, msg::kThumbSaved);
    EXPECT_EQ(r.path, out(u"name.jpg"));
    EXPECT_EQ(static_cast<long long>(read_bytes(r.path).size()), thumb_size(8));
    ASSERT_EQ(save(video(8), options(), r), 0);
    EXPECT_EQ(r.code, msg::kThumbSavedBefore);
    EXPECT_EQ(test::files_in(dir_ + u"out"), std::vector<std::string>{"name.jpg"});
    EXPECT_EQ(service().counter("requests /thumb/8"), 2);
}

TEST_F(ThumbnailTest, CacheWithTheServersSizeIsCopiedAndRemoved) {
    const std::string cached = jpeg(static_cast<size_t>(thumb_size(8)));
    for (bool keep : {false, true}) {
        SCOPED_TRACE(keep ? "keep" : "remove");
        service().reset();
        fs::remove(to_fs_path(out(u"name.jpg")));
        write_bytes(dir_ + u"cache/sm8.jpg", cached);
        ThumbnailOptions o = options();
        o.keep_cache = keep;
        ThumbnailResult r;
        ASSERT_EQ(save(video(8), o, r), 0);
        EXPECT_EQ(r.code, msg::kThumbFromCache);
        EXPECT_TRUE(r.from_cache);
        // The cache's bytes, not the server's (they differ but for their length).
        EXPECT_TRUE(read_bytes(out(u"name.jpg")) == cached);
        EXPECT_EQ(fs::exists(to_fs_path(dir_ + u"cache/sm8.jpg")), keep);
        EXPECT_EQ(test::files_in(dir_ + u"out"), std::vector<std::string>{"name.jpg"});
    }
}

TEST_F(ThumbnailTest, DamagedCacheCopyIsFetchedInstead) {
    write_bytes(dir_ + u"cache/sm8.jpg", jpeg(static_cast<size_t>(thumb_size(8)), false));
    ThumbnailResult r;
    ASSERT_EQ(save(video(8), options(), r), 0);
    EXPECT_EQ(r.code, msg::kThumbSaved);
    EXPECT_FALSE(r.from_cache);
    EXPECT_EQ(check_image_file(out(u"name.jpg")), 0);
    EXPECT_TRUE(fs::exists(to_fs_path(dir_ + u"cache/sm8.jpg")));
}

TEST_F(ThumbnailTest, LargeVariantAndItsFallback) {
    ThumbnailResult r;
    ASSERT_EQ(save(video(8), options(), r, true), 0);
    EXPECT_EQ(static_cast<long long>(read_bytes(r.path).size()), thumb_size(8, true));
    EXPECT_EQ(service().counter("requests /thumb/8.L"), 1);
    fs::remove(to_fs_path(r.path));
    // sm9 has no large picture: the usual one after the 404.
    ASSERT_EQ(save(video(9), options(), r, true), 0);
    EXPECT_EQ(r.code, msg::kThumbSaved);
    EXPECT_EQ(static_cast<long long>(read_bytes(r.path).size()), thumb_size(9));
    EXPECT_EQ(service().counter("requests /thumb/9.L"), 1);
    EXPECT_EQ(service().counter("requests /thumb/9"), 1);
}

TEST_F(ThumbnailTest, OtherSizeUnderTheNameFollowsTheImageRule) {
    struct Case {
        ImageRenameRule rule;
        int code;
        std::vector<std::string> files;
        bool trashed;
    };
    const std::string old_image = jpeg(500);
    for (const Case& c :
         {Case{ImageRenameRule::kKeepBoth, msg::kThumbSavedAside, {"name(2).jpg", "name.jpg"}, false},
          Case{ImageRenameRule::kRenameExisting, msg::kImageExistingRenamed, {"name(2).jpg", "name.jpg"}, false},
          Case{ImageRenameRule::kTrashExisting, msg::kImageExistingTrashed, {"name.jpg"}, true}}) {
        SCOPED_TRACE(static_cast<int>(c.rule));
        fs::remove_all(to_fs_path(dir_ + u"out"));
        fs::remove_all(to_fs_path(dir_ + u"data"));
        fs::create_directories(to_fs_path(dir_ + u"out"));
        write_bytes(out(u"name.jpg"), old_image);
        ThumbnailOptions o = options();
        o.rename_rule = static_cast<int>(c.rule);
        ThumbnailResult r;
        ASSERT_EQ(save(video(8), o, r), 0);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(test::files_in(dir_ + u"out"), c.files);
        const std::u16string old_at = c.rule == ImageRenameRule::kRenameExisting ? out(u"name(2).jpg")
                                      : c.trashed                                ? dir_ + u"data/Trash/files/name.jpg"
                                                                                 : out(u"name.jpg");
        EXPECT_TRUE(read_bytes(old_at) == old_image);
        EXPECT_EQ(static_cast<long long>(read_bytes(r.path).size()), thumb_size(8));
        EXPECT_EQ(fs::exists(to_fs_path(dir_ + u"data/Trash/info/name.jpg.trashinfo")), c.trashed);
    }
    EXPECT_TRUE(report_.logged(msg::kImageSavedUnderOtherName));
}

TEST_F(ThumbnailTest, BadImageNeverDisplacesTheSavedOne) {
    const std::string old_image = jpeg(500);
    write_bytes(out(u"name.jpg"), old_image);
    ThumbnailOptions o = options();
    o.rename_rule = static_cast<int>(ImageRenameRule::kTrashExisting);
    // A length that matches what is sent, but the picture stops half way.
    ASSERT_TRUE(service().fault("/thumb/8", "wrong-length", 1500));
    ThumbnailResult r;
    EXPECT_EQ(save(video(8), o, r), -1);
    EXPECT_EQ(r.code, msg::kBrokenJpeg);
    EXPECT_EQ(test::files_in(dir_ + u"out"), std::vector<std::string>{"name.jpg"});
    EXPECT_TRUE(read_bytes(out(u"name.jpg")) == old_image);
    EXPECT_FALSE(fs::exists(to_fs_path(dir_ + u"data/Trash/files/name.jpg")));
    // An error page with status 200 is no image at all.
    ASSERT_TRUE(service().fault("/thumb/8", "status", 200));
    EXPECT_EQ(save(video(8), o, r), -1);
    EXPECT_EQ(r.code, msg::kImageTypeUnknown);
    EXPECT_TRUE(read_bytes(out(u"name.jpg")) == old_image);
    // Nor is an answer announced at many megabytes: refused before a byte is written.
    CWorkMovieInfo huge = video(8);
    huge.thumbnail_url = service().root(false) + u"/bytes/" + decimal_text(64 << 20);
    EXPECT_EQ(save(huge, o, r), -1);
    EXPECT_EQ(r.code, net_code::kTooLarge);
    EXPECT_EQ(test::files_in(dir_ + u"out"), std::vector<std::string>{"name.jpg"});
}

TEST_F(ThumbnailTest, CodesWithoutAnImage) {
    struct Case {
        InfoStatus status;
        bool url;
        const char* fault; ///< a status for the thumbnail request, or none
        int rc;
        int code;
    };
    for (const Case& c : {Case{InfoStatus::kDeleted, false, nullptr, -2, msg::kThumbDeleted},
                          Case{InfoStatus::kCommunity, false, nullptr, -2, msg::kThumbCommunity},
                          Case{InfoStatus::kOk, false, nullptr, -1, msg::kThumbUrlFailed},
                          Case{InfoStatus::kOk, true, "403", -1, msg::kThumb403},
                          Case{InfoStatus::kOk, true, "503", -1, msg::kThumb503},
                          Case{InfoStatus::kDeleted, true, "404", -1, msg::kThumbDeleted}}) {
        SCOPED_TRACE(c.code);
        CWorkMovieInfo info = video(8);
        info.status = c.status;
        if (!c.url) info.thumbnail_url.clear();
        if (c.fault) {
            ASSERT_TRUE(service().fault("/thumb/8", "status", std::atoll(c.fault)));
        }
        ThumbnailResult r;
        EXPECT_EQ(save(info, options(), r), c.rc);
        EXPECT_EQ(r.code, c.code);
        EXPECT_TRUE(test::files_in(dir_ + u"out").empty());
    }
    // The placeholder of a deleted video is not fetched at all.
    CWorkMovieInfo info = video(8);
    info.thumbnail_url = service().root(false) + u"/img/video_deleted.jpg";
    info.status = InfoStatus::kDeleted;
    ThumbnailResult r;
    EXPECT_EQ(save(info, options(), r), -2);
    EXPECT_EQ(service().counter("requests /img/video_deleted.jpg"), 0);
}

} // namespace
} // namespace quippet
