#include "graphics/dyna_lst.h"

#include "platform/encoding.h"

#include <algorithm>

namespace narvo {

TDLProperty::TDLProperty() {
    Text.FontName = NARVO_SJIS("ＭＳ ゴシック");
}

bool TDynamicLayerList::BuildPicture(const TLasGraphic* Loaded) {
    Picture.reset();
    TDLProperty_Image& Image = Property.Image;
    if (!Image.FileName.empty()) {
        Picture = std::make_unique<TLasGraphic>();
        if (!Loaded)
            return false;
        Picture->Assign(*Loaded);
        Image.AnimeCount = std::max(Image.AnimeCount, 1);
        Image.DivideCount = std::max(Image.DivideCount, 1);
        Property.Width = Picture->Width() / Image.AnimeCount;
        Property.Height = Picture->Height() / Image.DivideCount;
        return true;
    }
    if (!Property.Text.Text.empty()) {
        BuildTextStrip();
        return true;
    }
    Image.AnimeCount = 1;
    Image.DivideCount = 1;
    return true;
}

bool TDynamicLayerList::LoadAndBuildPicture(const TDLPictureLoader& Load) {
    if (Property.Image.FileName.empty())
        return BuildPicture(nullptr);
    TLasGraphic Loaded;
    bool Ok = Load && Load(Property.Image.FileName, Loaded);
    return BuildPicture(Ok ? &Loaded : nullptr);
}

// The text laid out at the item's width, twice: over a clear row (idle) and over a row
// of half-transparent blue (active). The glyphs are opaque in both.
void TDynamicLayerList::BuildTextStrip() {
    const TDLProperty_Text& T = Property.Text;
    int W = Property.Width;

    TLasGraphic TextSurface;
    TextSurface.Font.Size = T.FontSize;
    TextSurface.Font.Colour = T.FontColor;
    TextSurface.Font.Name = T.FontName;
    TextSurface.Font.Bold = T.FontStyle.Bold;
    TextSurface.Font.Italic = T.FontStyle.Italic;
    TextSurface.Text = T.Text;
    TextSurface.LayoutTextFit(W, 0);
    int H = TextSurface.Height();

    Picture = std::make_unique<TLasGraphic>();
    TLasGraphic& Strip = *Picture;
    Strip.SetSize(W, 2 * H);
    Strip.ClearTransparent();
    Strip.FillRect(0, H, W, H, 0xFF0000);
    Strip.MakeHalfTranslucent();
    TextSurface.DrawTo(Strip, 0, 0, W, H, 0, 0);
    TextSurface.DrawTo(Strip, 0, H, W, H, 0, 0);

    Property.Width = W;
    Property.Height = H;
    TDLProperty_Image& Image = Property.Image;
    Image.AnimeCount = 1;
    Image.DivideCount = 2;
    Image.IndexDisable = 0;
    Image.IndexEnable = 0;
    Image.IndexActive = 1;
    Image.IndexClick = 1;
}

int TDynamicLayerList::CellWidth() const {
    if (!Picture)
        return 0;
    return Picture->Width() / std::max(Property.Image.AnimeCount, 1);
}

int TDynamicLayerList::CellHeight() const {
    if (!Picture)
        return 0;
    return Picture->Height() / std::max(Property.Image.DivideCount, 1);
}

} // namespace narvo
