// The image plug-in loader with real shared libraries: the JPEG plug-in the project
// ships and the tests' plug-in that accepts everything and decodes nothing.
#include "data/tsplug.h"
#include "platform/bitmap.h"
#include "plugin_files.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace narvo {
namespace {

int FailCalls(const TPlug& Plug) {
    auto Calls = reinterpret_cast<int (*)()>(Plug.Module->FindExport("FailSpiCalls"));
    return Calls ? Calls() : -1;
}

// The mean difference per channel between two pictures of the same size.
double MeanDifference(const TPicture& A, const TPicture& B) {
    double Sum = 0;
    for (size_t I = 0; I < A.Pixels.size(); ++I)
        for (int Shift : {0, 8, 16})
            Sum +=
                std::abs(int((A.Pixels[I] >> Shift) & 0xFF) - int((B.Pixels[I] >> Shift) & 0xFF));
    return Sum / double(A.Pixels.size() * 3);
}

TEST(SusiePlugIn, LoadsImportFiltersInOrderAndGoesOnAfterAFailure) {
    test::TTempDir Dir;
    test::CopyPlugIn(test::FailPlugIn(), Dir / "a_fail.spi");
    test::CopyPlugIn(test::JpegPlugIn(), Dir / "b_jpeg.SPI");
    test::CopyPlugIn(test::OtherPlugIn(), Dir / "c_other.Spi"); // not an import filter
    test::WriteFile(Dir / "d_junk.spi", "not a library");
    test::CopyPlugIn(test::JpegPlugIn(), Dir / "e_jpeg.dll");  // wrong extension
    test::CopyPlugIn(test::JpegPlugIn(), Dir / ".hidden.spi"); // hidden

    TSusiePlugIn Loader;
    EXPECT_EQ(Loader.AutoSusie, false);
    ASSERT_EQ(Loader.OpenPlugIn(Dir.Path() + "/*.SPI"), 2);
    ASSERT_EQ(Loader.GetPlugNum(), 2);
    const TPlug* Fail = Loader.GetPlugInInfo(0);
    const TPlug* Jpeg = Loader.GetPlugInInfo(1);
    ASSERT_TRUE(Fail && Jpeg);
    EXPECT_EQ(Loader.GetPlugInInfo(2), nullptr);
    EXPECT_EQ(Loader.GetPlugInInfo(-1), nullptr);
    EXPECT_EQ(Fail->Path, Dir / "a_fail.spi");
    EXPECT_EQ(Jpeg->Version, "00IN");
    EXPECT_EQ(Jpeg->Extension, "*.JPG;*.JPEG;*.JPE;*.JFIF");
    EXPECT_EQ(Jpeg->TypeName, "JPEG pictures");
    EXPECT_NE(Jpeg->GetPictureInfo, nullptr);
    EXPECT_EQ(
        Loader.Filter,
        "AllType   [*.*]|*.*|anything   [*.*]|*.*|JPEG pictures   [*.JPG;*.JPEG;*.JPE;*.JFIF]|"
        "*.JPG;*.JPEG;*.JPE;*.JFIF|");
    EXPECT_EQ(Loader.CheckPlug(Dir / "b_jpeg.SPI"), 0);
    EXPECT_EQ(Loader.CheckPlug(Dir / "B_JPEG.SPI"), -1);
    // A second search of the same folder adds nothing.
    EXPECT_EQ(Loader.OpenPlugIn(Dir.Path() + "/*.SPI"), 0);
    EXPECT_EQ(Loader.GetPlugNum(), 2);

    int Calls = 0, LastNumerator = 0, Denominator = 0;
    Loader.OnWorking = [&](TSusiePlugIn& Sender, int N, int D) {
        EXPECT_EQ(&Sender, &Loader);
        ++Calls, LastNumerator = N, Denominator = D;
    };
    const std::string Jpg = test::SuiteJpeg();
    TBitmap B;
    ASSERT_EQ(Loader.LoadFromMemory(Jpg.data(), Jpg.size(), &B), -1);
    // The failing plug-in was asked first, with the whole picture, and the search went on.
    EXPECT_EQ(FailCalls(*Fail), 1);
    EXPECT_EQ(reinterpret_cast<size_t (*)()>(Fail->Module->FindExport("FailSpiLastLength"))(),
              Jpg.size());
    EXPECT_GT(Calls, 0);
    EXPECT_EQ(LastNumerator, 64);
    EXPECT_EQ(Denominator, 64);
    TBitmap Reference;
    ASSERT_TRUE(Reference.LoadFromFile(test::DataPath("bmpsuite/g/rgb24.bmp")));
    ASSERT_EQ(B.Width(), 127);
    ASSERT_EQ(B.Height(), 64);
    EXPECT_LT(MeanDifference(B.Picture, Reference.Picture), 4.0);

    // Neither decodes a text; a short picture is padded for the filters' look at it.
    EXPECT_EQ(Loader.LoadFromMemory("hello", 5, &B), 0);
    EXPECT_EQ(FailCalls(*Fail), 2);
    EXPECT_EQ(Loader.LoadFromMemory(nullptr, 5, &B), 0);
    EXPECT_EQ(Loader.LoadFromMemory(Jpg.data(), Jpg.size(), nullptr), 0);

    test::WriteFile(Dir / "p.jpg", Jpg);
    EXPECT_NE(Loader.LoadFromFile(Dir / "p.jpg", B), 0);
    EXPECT_EQ(Loader.LoadFromStream(Jpg, Jpg.size(), B), -1);
    EXPECT_EQ(Loader.LoadFromFile(Dir / "missing.jpg", B), 0);

    EXPECT_EQ(Loader.ClosePlugIn(), 1);
    EXPECT_EQ(Loader.GetPlugNum(), 0);
    EXPECT_EQ(Loader.LoadFromMemory(Jpg.data(), Jpg.size(), &B), 0);
}

TEST(SusiePlugIn, TheFirstFoundDecodesAndEmptyFoldersDecodeNothing) {
    test::TTempDir Dir;
    test::CopyPlugIn(test::JpegPlugIn(), Dir / "a_jpeg.spi");
    test::CopyPlugIn(test::FailPlugIn(), Dir / "z_fail.spi");
    TSusiePlugIn Loader;
    ASSERT_EQ(Loader.OpenPlugIn(Dir.Path() + "/*.SPI"), 2);
    const std::string Jpg = test::SuiteJpeg();
    TBitmap B;
    EXPECT_EQ(Loader.LoadFromMemory(Jpg.data(), Jpg.size(), &B), -1);
    EXPECT_EQ(FailCalls(*Loader.GetPlugInInfo(1)), 0);
    // A damaged JPEG: the JPEG plug-in fails, the failing one is asked too.
    std::string Cut = Jpg.substr(0, 300);
    EXPECT_EQ(Loader.LoadFromMemory(Cut.data(), Cut.size(), &B), 0);
    EXPECT_EQ(FailCalls(*Loader.GetPlugInInfo(1)), 1);

    test::TTempDir Empty;
    TSusiePlugIn None;
    EXPECT_EQ(None.OpenPlugIn(Empty.Path() + "/*.SPI"), 0);
    EXPECT_EQ(None.OpenPlugIn(Empty.Path() + "/nowhere/*.SPI"), 0);
    EXPECT_EQ(None.LoadFromMemory(Jpg.data(), Jpg.size(), &B), 0);
}

} // namespace
} // namespace narvo
