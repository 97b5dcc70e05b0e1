// The work's named layers. Layer 0 is always the background layer; layers 1 and up are
// read from the scenario's "LayerList" section. The screen control creates the main
// window's layers from `NameList` (highest layer number first); the other fields keep
// the work's definitions and nothing in the player acts on them.
#pragma once

#include "system/icm_sub.h"

#include <array>
#include <cstdint>
#include <string>

namespace narvo {

class TNarvoFile;

struct TLayerInfo {
    std::string LayerName;
    std::string FileName;
    bool Attr = false;
    int32_t Left = 0;
    int32_t Top = 0;
};

class TLayerCtrl {
public:
    // Capacity of the layer table, layer 0 included. A work that declares more layers
    // gets the first `MaxLayers`.
    static constexpr int MaxLayers = 32;

    enum class TField { LayerName = 0, FileName = 1, Attr = 2, Left = 3, Top = 4 };

    TLayerCtrl() = default;

    // Attaches the scenario and loads from it.
    void SetScenario(TNarvoFile* Scenario);
    void Load();

    static std::string GetSectionName(int Layer, TField Field);
    // The fixed name of layer 0, Shift-JIS.
    static const std::string& BackgroundLayerName();

    int32_t Count() const { return Count_; }
    const TLayerInfo& Info(int Layer) const;
    const TStringList& NameList() const { return NameList_; }
    // The value "LayerCount" held before it was limited to `MaxLayers`.
    int32_t DeclaredCount() const { return DeclaredCount_; }

private:
    TNarvoFile* Scenario_ = nullptr;
    int32_t Count_ = 0;
    std::array<TLayerInfo, MaxLayers> Infos_{};
    TStringList NameList_;
    int32_t DeclaredCount_ = 0;
};

} // namespace narvo
