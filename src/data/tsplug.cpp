#include "data/tsplug.h"

#include "platform/bitmap.h"
#include "platform/files.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <malloc.h>

namespace narvo {

namespace {

std::string Info(SpiGetPluginInfo Get, int Number) {
    char Buffer[256] = {};
    Get(Number, Buffer, 255);
    Buffer[255] = '\0';
    return Buffer;
}

std::string Upper(std::string S) {
    for (char& C : S)
        C = char(std::toupper(static_cast<unsigned char>(C)));
    return S;
}

template <typename T> T Export(const TDynamicLibrary& Lib, const char* Name) {
    return reinterpret_cast<T>(Lib.FindExport(Name));
}

} // namespace

TSusiePlugIn::~TSusiePlugIn() {
    ClosePlugIn();
}

int TSusiePlugIn::OpenPlugIn(const std::string& Pattern) {
    const std::string Dir = ExtractFileDir(Pattern);
    int Added = 0;
    for (const std::string& Name : FindFiles(Dir.empty() ? "." : Dir, ExtractFileName(Pattern))) {
        // Hidden files are not plug-ins, as the search for them skips hidden files.
        if (Name[0] == '.')
            continue;
        auto Plug = std::make_unique<TPlug>();
        Plug->Path = Dir + Name;
        const bool IsNew = CheckPlug(Plug->Path) != 0;
        // Loading an already-loaded path again only raises the library's use count;
        // the extra reference is dropped with the record below.
        Plug->Module = TDynamicLibrary::Load(Plug->Path);
        if (!Plug->Module)
            continue;
        Plug->GetPluginInfo = Export<SpiGetPluginInfo>(*Plug->Module, "GetPluginInfo");
        if (Plug->GetPluginInfo) {
            Plug->Version = Info(Plug->GetPluginInfo, 0);
            Plug->Name = Info(Plug->GetPluginInfo, 1);
            Plug->TypeName = Info(Plug->GetPluginInfo, 3);
            Plug->Extension = Upper(Info(Plug->GetPluginInfo, 2));
            Plug->GetPictureInfo = Export<SpiGetPictureInfo>(*Plug->Module, "GetPictureInfo");
            Plug->IsSupported = Export<SpiIsSupported>(*Plug->Module, "IsSupported");
            Plug->GetPicture = Export<SpiGetPicture>(*Plug->Module, "GetPicture");
        }
        // A filter without the two decoding entry points could never be asked; it is
        // dropped like one that is not an import filter, rather than called through null.
        if (Plug->Version != "00IN" || !IsNew || !Plug->IsSupported || !Plug->GetPicture)
            continue;
        Filter += Plug->TypeName + "   [" + Plug->Extension + "]|" + Plug->Extension + "|";
        PlugIns.push_back(std::move(Plug));
        ++Added;
    }
    return Added;
}

int TSusiePlugIn::ClosePlugIn() {
    PlugIns.clear();
    return 1;
}

const TPlug* TSusiePlugIn::GetPlugInInfo(int Index) const {
    if (Index < 0 || size_t(Index) >= PlugIns.size())
        return nullptr;
    return PlugIns[size_t(Index)].get();
}

int TSusiePlugIn::CheckPlug(const std::string& Path) const {
    for (const auto& Plug : PlugIns)
        if (Plug->Path == Path)
            return 0;
    return -1;
}

int TSusiePlugIn::LoadFromFile(const std::string& Path, TBitmap& Bitmap) {
    std::optional<std::string> Bytes = ReadWholeFile(Path);
    if (!Bytes)
        return 0;
    return LoadFromMemory(Bytes->data(), Bytes->size(), &Bitmap);
}

int TSusiePlugIn::LoadFromStream(const std::string& Stream, size_t Size, TBitmap& Bitmap) {
    return LoadFromMemory(Stream.data(), std::min(Size, Stream.size()), &Bitmap);
}

int TSusiePlugIn::LoadFromMemory(const void* Data, size_t Size, TBitmap* Bitmap) {
    if (!Data || !Bitmap || PlugIns.empty())
        return 0;
    // Filters may look at the first 2 KB of a picture whatever its size: a short one is
    // given to them zero-padded so that looking never reads past its end.
    std::string Head;
    const void* HeadData = Data;
    if (Size < SPI_HEADER_BYTES) {
        Head.assign(static_cast<const char*>(Data), Size);
        Head.resize(SPI_HEADER_BYTES, '\0');
        HeadData = Head.data();
    }
    for (const auto& Plug : PlugIns) {
        if (!Plug->IsSupported(nullptr, HeadData))
            continue;
        void* InfoBlock = nullptr;
        void* Bits = nullptr;
        int Result = Plug->GetPicture(static_cast<const char*>(Data), intptr_t(Size),
                                      SPI_INPUT_MEMORY, &InfoBlock, &Bits, &TSusiePlugIn::Progress,
                                      reinterpret_cast<intptr_t>(this));
        if (Result != SPI_SUCCESS)
            continue;
        // The blocks come from malloc: their usable size bounds what the bitmap reader
        // may look at, whatever the header inside claims.
        bool Decoded = InfoBlock && Bits &&
                       Bitmap->LoadFromDib(InfoBlock, malloc_usable_size(InfoBlock), Bits,
                                           malloc_usable_size(Bits));
        std::free(InfoBlock);
        std::free(Bits);
        if (Decoded)
            return -1;
    }
    return 0;
}

int TSusiePlugIn::Progress(int Numerator, int Denominator, intptr_t UserData) {
    auto* Self = reinterpret_cast<TSusiePlugIn*>(UserData);
    if (Self && Self->OnWorking)
        Self->OnWorking(*Self, Numerator, Denominator);
    return 0;
}

} // namespace narvo
