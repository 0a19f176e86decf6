#pragma once
// TfrxPictureView: a picture (any format of the picture-format registry) drawn into the view's box,
// stretched, kept in proportion, centred or at its own size by a set of draw flags.
// TfrxDigitalSignatureView: a picture view that marks where a signature goes.

#include <cstdint>
#include <memory>

#include "platform/graphics/graphic.h"
#include "report/foundation/graphic_formats.h"
#include "report/model/data_link.h"
#include "report/model/picture_cache.h"
#include "report/model/view.h"

namespace vgl {

/// The failure code of LoadPictureFromStream.
inline constexpr std::int32_t E_INVALIDARG_CODE = std::int32_t(0x80070057u);

class TfrxPictureView : public TfrxView, public IfrxDataLinkObject, public IfrxCachedView {
    VGL_CLASS(TfrxPictureView, TfrxView)
    /// Draw flags KeepAspectRatio, Stretch and Clip; TransparentColor clWhite.
    explicit TfrxPictureView(TComponent* owner);
    /// Releases the attached cached picture.
    ~TfrxPictureView() override;

    String GetDescription() const override;
    /// The picture. When it holds no graphic but a cached picture is attached, a copy of the
    /// cache's original is put into it first (without counting as a change of the picture).
    TPicture* Picture() const;
    void SetPicture(TPicture* value) { FPicture->Assign(value); }

    /// The draw flag of `index` (0 AutoSize, 1 Center, 2 KeepAspectRatio, 3 Stretched,
    /// 4 Transparent, 7 HightQuality); an index above 7 reads False and writes nothing.
    bool GetPictureProp(int index) const;
    void SetPictureProp(int index, bool value);
    bool AutoSize() const { return GetPictureProp(fgdAutoSize); }
    void SetAutoSize(bool v) { SetPictureProp(fgdAutoSize, v); }
    bool Center() const { return GetPictureProp(fgdCenter); }
    void SetCenter(bool v) { SetPictureProp(fgdCenter, v); }
    bool KeepAspectRatio() const { return GetPictureProp(fgdKeepAspectRatio); }
    void SetKeepAspectRatio(bool v) { SetPictureProp(fgdKeepAspectRatio, v); }
    bool Stretched() const { return GetPictureProp(fgdStretch); }
    void SetStretched(bool v) { SetPictureProp(fgdStretch, v); }
    bool Transparent() const { return GetPictureProp(fgdTransparent); }
    void SetTransparent(bool v) { SetPictureProp(fgdTransparent, v); }
    bool HightQuality() const { return GetPictureProp(fgdHiQuality); }
    void SetHightQuality(bool v) { SetPictureProp(fgdHiQuality, v); }
    TfrxGraphicDrawProps DrawProps() const { return FDrawProps; }

    TColor TransparentColor() const { return FTransparentColor; }
    void SetTransparentColor(TColor v) { FTransparentColor = v; }
    const String& FileLink() const { return FFileLink; }
    void SetFileLink(const String& v) { FFileLink = v; }
    int ImageIndex() const { return FImageIndex; }
    void SetImageIndex(int v) { FImageIndex = v; }
    bool IsImageIndexStored = false;
    bool IsPictureStored = true;
    bool PictureChanged() const { return FPictureChanged; }
    void SetPictureChanged(bool v) { FPictureChanged = v; }

    /// Loads the picture from the stream (from its start with `resetPosition`), skipping the
    /// 8-byte length prefix of stored fields; 0 on success, else E_INVALIDARG_CODE with the
    /// picture cleared. Unreadable data never raises.
    virtual std::int32_t LoadPictureFromStream(TStream& stream, bool resetPosition = true);

    /// The data link, created on first read.
    TfrxDataLink* DataLink() const;
    void SetDataLink(TfrxDataLink* value) { DataLink()->Assign(value); }
    bool IsDataLinkStored() const { return TfrxDataLink::IsDataLinkStored(FDataLink.get(), frComponentState()); }

    // ---- IfrxDataLinkObject ----------------------------------------------------------------
    /// LoadPictureFromStream from the stream's start succeeded.
    bool LoadDataFromStream(TStream& stream, const String& link) override;
    String GetLink(TfrxDataLinkLoadMethod method) const override;
    bool IsExpressionLink() const override;

    /// The view's step; then the file of FileLink (bracketed parts expanded) is loaded, or the
    /// picture cleared when it does not exist; else a BLOB data field is loaded.
    void GetData() override;
    /// The view's step, then the expression of an expression link is kept.
    void BeforePrint() override;
    /// The expression of an expression link comes back, then the view's step.
    void AfterPrint() override;

    // ---- IfrxCachedView ---------------------------------------------------------------------
    /// A changed picture is stored in the cache, whose index becomes ImageIndex; PictureChanged
    /// is then cleared.
    void SetCachedGraphic(IfrxPictureCache& cache) override;
    /// Attaches the cache's shared copy of that kind for ImageIndex; when the cache gives none,
    /// the cache loads the picture for ImageIndex into Picture (which keeps ImageIndex and does
    /// not count as a change).
    void GetCachedGraphic(TfrxCachedGraphicType cacheType, IfrxPictureCache& cache) override;
    /// An attached copy of another kind, or an ImageIndex with nothing to show.
    bool IsUpdateRequired(TfrxCachedGraphicType cacheType) override;
    void ReleaseCachedGraphic() override;
    /// The attached shared copy, or none.
    IfrxCachedGraphic* CachedGraphic() const { return FCachedGraphic.get(); }

    // ---- The graphic and its format ------------------------------------------------------------
    /// False while a cached picture is attached; else True without a graphic or with an empty one.
    bool IsEmpty() const;
    /// None when empty; else the attached copy's graphic or the picture's.
    TGraphic* GetGraphic() const;
    int GraphicWidth() const;
    int GraphicHeight() const;
    /// The picture format of the current graphic (brought up to date first), or none.
    TfrxGraphicFormatClass GraphicFormat() const { return UpdateGraphicFormat(); }
    bool GraphicIsVector() const;
    /// The format reports an alpha channel for the graphic, asked only when Transparent is set
    /// or HightQuality is not.
    bool GraphicHasAlpha() const;
    bool GraphicHasMaskColor() const;
    /// Transparent is set, or the graphic is transparent or has an alpha channel.
    bool GraphicTransparency() const;
    /// TransparentColor; for clNone with a graphic that has a mask colour, the format's colour.
    TColor GraphicTransparentColor() const;
    /// Only a vector format's picture is exported as a metafile (and only when the view allows it).
    bool IsEMFExportable() const override;

    void Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
              long double offsetY) override;
    /// The view's attributes, then ImageIndex, Transparent when set and TransparentColor when it
    /// is not clWhite.
    String Diff(TfrxComponent* component) override;

protected:
    String DataLinkForGetData(bool& isExpression) override;

private:
    void PictureChange();
    // Brings FGraphicFormat up to date with the graphic's class; answers it.
    TfrxGraphicFormatClass UpdateGraphicFormat() const;
    // Runs `body` with the picture's change event disconnected, reconnected on every path.
    template <class F> void WithoutChangeEvent(F&& body) const;

    std::unique_ptr<TPicture> FPicture;
    std::shared_ptr<IfrxCachedGraphic> FCachedGraphic;
    mutable TfrxGraphicFormatClass FGraphicFormat = nullptr;
    mutable std::unique_ptr<TfrxDataLink> FDataLink;
    TfrxGraphicDrawProps FDrawProps{fgdKeepAspectRatio, fgdStretch, fgdClip};
    TColor FTransparentColor;
    String FFileLink;
    int FImageIndex = 0;
    bool FPictureChanged = false;
};

enum TPDFSignatureKind { skInvisible, skVisible, skEmpty };
VGL_DECLARE_ENUM(TPDFSignatureKind);

class TfrxDigitalSignatureView : public TfrxPictureView {
    VGL_CLASS(TfrxDigitalSignatureView, TfrxPictureView)
    explicit TfrxDigitalSignatureView(TComponent* owner) : TfrxPictureView(owner) {}
    /// The signature's text is the component's Description.
    TPDFSignatureKind Kind() const { return FKind; }
    void SetKind(TPDFSignatureKind v) { FKind = v; }
    /// Drawn only while designing or when the signature is not invisible.
    void Draw(TCanvas& canvas, long double scaleX, long double scaleY, long double offsetX,
              long double offsetY) override;

private:
    TPDFSignatureKind FKind = skInvisible;
};

} // namespace vgl
