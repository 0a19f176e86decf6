#pragma once
// TGraphic: the base of every picture class (bitmap, PNG, JPEG, metafile), TPicture: a
// container of one graphic of any registered class, and TImage: a picture holder with a size.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "platform/graphics/geometry.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/persistent.h"
#include "platform/rtl/streams.h"

namespace vgl {

class TCanvas;

VGL_DECLARE_EXCEPTION(EInvalidGraphic, Exception);
VGL_DECLARE_EXCEPTION(EInvalidGraphicOperation, Exception);

/// Largest width or height of a picture this layer decodes or creates (the largest side a
/// drawing surface accepts), and largest pixel count.
constexpr int MaxGraphicSide = 32767;
constexpr std::int64_t MaxGraphicPixels = std::int64_t(1) << 28;
/// Raises EInvalidGraphic "Image is too large" (or "Image size is invalid" for negative sides).
void CheckGraphicSize(std::int64_t width, std::int64_t height);

/// The abstract picture class; its table (and its descendants') lets a class be tested for
/// "equals or descends from" by reflection (InheritsFrom).
class TGraphic : public TPersistent {
    VGL_CLASS(TGraphic, TPersistent)
    TGraphic() = default;

    virtual int GetWidth() const = 0;
    virtual int GetHeight() const = 0;
    virtual void SetWidth(int width);
    virtual void SetHeight(int height);
    virtual bool GetEmpty() const = 0;
    bool GetTransparent() const { return FTransparent; }
    virtual void SetTransparent(bool value);

    /// Draws the graphic stretched into `rect` of the canvas.
    virtual void Draw(TCanvas& canvas, const TRect& rect) const = 0;

    /// Reads the graphic from its file form; raises EInvalidGraphic for bad data.
    virtual void LoadFromBytes(std::span<const std::uint8_t> bytes) = 0;
    /// The graphic in its file form.
    virtual std::vector<std::uint8_t> SaveToBytes() const = 0;
    /// Reads from the stream's position to its end.
    void LoadFromStream(TStream& stream);
    void SaveToStream(TStream& stream) const;

    /// A graphic source goes to Assign(const TGraphic&); anything else as TPersistent.
    void Assign(const TPersistent* source) override;
    /// Copies another graphic; the base raises EConvertError "Cannot assign a <source> to a <this>.".
    virtual void Assign(const TGraphic& source);
    virtual std::unique_ptr<TGraphic> Clone() const = 0;
    /// Renders the graphic into a bitmap of its size (the bitmap's own copy); false when the
    /// class cannot.
    virtual bool AssignTo(class TBitmap& dest) const;

    TNotifyEvent OnChange;

protected:
    using TPersistent::AssignTo;
    /// Writes the file form straight into memory that `reserve(length)` hands out for exactly
    /// `length` bytes (called once, after everything that may fail), and answers true; false,
    /// nothing reserved, for a class that has no such path (the base), which is saved through
    /// SaveToBytes.
    virtual bool SaveToMemory(const std::function<std::span<std::uint8_t>(std::size_t)>& reserve) const;
    void Changed();
    [[noreturn]] void AssignError(const TGraphic& source) const { TPersistent::AssignError(&source); }
    bool FTransparent = false;
};

/// A picture class known to TPicture: how to recognise its file form and make an empty one.
struct TGraphicClassInfo {
    String Extension;   ///< without dot, lower case ("bmp")
    String Description; ///< "Bitmaps"
    std::function<bool(std::span<const std::uint8_t>)> Detect;
    std::function<std::unique_ptr<TGraphic>()> Create;
};

/// Registers a picture class (filled at start-up; the built-in bitmap, PNG and JPEG classes are
/// always present). Read-only while requests run.
void RegisterFileFormat(TGraphicClassInfo info);
/// Removes the classes registered under `extension` (as FindGraphicClassByExtension finds them);
/// for the libraries that register classes of their own and remove them at shut-down.
void UnregisterFileFormat(StringView extension);
/// The class whose magic bytes match, or none.
const TGraphicClassInfo* FindGraphicClass(std::span<const std::uint8_t> bytes);
const TGraphicClassInfo* FindGraphicClassByExtension(StringView extension);

class TPicture : public TPersistent {
    VGL_CLASS(TPicture, TPersistent)
    TPicture() = default;
    TPicture(const TPicture&) = delete;
    TPicture& operator=(const TPicture&) = delete;
    TGraphic* GetGraphic() const { return FGraphic.get(); }
    /// Holds a copy of `graphic` (none empties the picture).
    void SetGraphic(const TGraphic* graphic);
    /// Takes ownership.
    void SetGraphic(std::unique_ptr<TGraphic> graphic);
    int GetWidth() const { return FGraphic ? FGraphic->GetWidth() : 0; }
    int GetHeight() const { return FGraphic ? FGraphic->GetHeight() : 0; }
    /// A copy of another picture's graphic, or of a graphic; none empties the picture; anything
    /// else as TPersistent.
    void Assign(const TPersistent* source) override;
    void Assign(const TPicture& source) { SetGraphic(source.FGraphic.get()); }
    /// Loads a graphic of the class whose magic bytes match; raises EInvalidGraphic "Unknown
    /// picture format" when none does.
    void LoadFromBytes(std::span<const std::uint8_t> bytes);
    void LoadFromStream(TStream& stream);
    /// Saves the held graphic (nothing for an empty picture).
    void SaveToStream(TStream& stream) const;
    /// Stores the graphic as the binary property "Data": one length byte and the graphic's class
    /// name, then its file form; read back by the file form's magic bytes (EInvalidGraphic for
    /// data of no known format). An empty picture, or a graphic without a file form (a metafile),
    /// stores nothing.
    void DefineProperties(TFiler& filer) override;

    TNotifyEvent OnChange;

private:
    void Changed();
    void ReadData(TStream& stream);
    std::unique_ptr<TGraphic> FGraphic;
};

/// A picture holder with a size, standing in for the platform's image control (no window).
class TImage : public TObject {
public:
    String ClassName() const override { return u"TImage"; }
    TPicture& Picture() { return FPicture; }
    const TPicture& Picture() const { return FPicture; }
    int Width = 105;
    int Height = 105;
    bool Stretch = false;
    bool Center = false;
    bool Transparent = false;

private:
    TPicture FPicture;
};

} // namespace vgl
