#include "graphics/lay_ctrl.h"

#include "data/cf2_ctrl.h"
#include "platform/encoding.h"

#include <cassert>

namespace narvo {

namespace {
constexpr const char* kSection = "LayerList";
}

const std::string& TLayerCtrl::BackgroundLayerName() {
    static const std::string Name = Utf8ToSjis("背景レイヤー");
    return Name;
}

std::string TLayerCtrl::GetSectionName(int Layer, TField Field) {
    static constexpr const char* Suffix[] = {".LayerName", ".FileName", ".Attr", ".Left",
                                             ".Top"};
    return "Layer." + std::to_string(Layer) + Suffix[static_cast<int>(Field)];
}

const TLayerInfo& TLayerCtrl::Info(int Layer) const {
    assert(Layer >= 0 && Layer < MaxLayers);
    return Infos_[Layer];
}

void TLayerCtrl::SetScenario(TNarvoFile* Scenario) {
    Scenario_ = Scenario;
    Load();
}

void TLayerCtrl::Load() {
    if (Scenario_ == nullptr) return;
    DeclaredCount_ = Scenario_->ReadInteger(kSection, "LayerCount", 1);
    // The table holds 32 layers; more would run past it, so the rest are left out.
    Count_ = std::min<int32_t>(DeclaredCount_, MaxLayers);
    for (int N = 1; N < Count_; ++N) {
        TLayerInfo& Info = Infos_[N];
        Info.LayerName = Scenario_->ReadString(kSection, GetSectionName(N, TField::LayerName), "noname");
        Info.FileName = Scenario_->ReadString(kSection, GetSectionName(N, TField::FileName), "");
        Info.Attr = Scenario_->ReadBool(kSection, GetSectionName(N, TField::Attr), false);
        Info.Left = Scenario_->ReadInteger(kSection, GetSectionName(N, TField::Left), 0);
        Info.Top = Scenario_->ReadInteger(kSection, GetSectionName(N, TField::Top), 0);
    }
    Infos_[0] = TLayerInfo{BackgroundLayerName(), "", true, 0, 0};
    NameList_.clear();
    for (int N = Count_ - 1; N >= 0; --N) NameList_.push_back(Infos_[N].LayerName);
}

} // namespace narvo
