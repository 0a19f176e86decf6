#pragma once
// The image exports: each prepared page is drawn into a bitmap at the chosen resolution by the
// views' own drawing, optionally cropped to the area the drawn objects cover, and written as BMP,
// JPEG, TIFF or GIF into the filter's Stream or into a file named after the page. Without
// SeparateFiles all pages are stacked into one bitmap of at most 30000 pixels a side.
//
// A failure to write an image goes to the report's silent mode: simSilent adds the message to
// the report's errors and the export goes on; simReThrow raises it again; simMessageBoxes writes
// it to the message log and also raises it again, since no box can stop the user here and the
// export must not report success without the image.

#include <cstdint>
#include <memory>

#include "report/export/export_dialog_filter.h"
#include "report/foundation/graphic_formats.h"
#include "report/foundation/utilities.h"

namespace vgl {

class TBitmap;
class TfrxCustomIOTransport;

class TfrxCustomImageExport : public TfrxBaseDialogExportFilter {
    VGL_CLASS(TfrxCustomImageExport, TfrxBaseDialogExportFilter)
    /// Resolution 96, JPEGQuality 90, SeparateFiles on, CropImages and Monochrome off,
    /// OpenAfterExport off; the picture format "BMP".
    explicit TfrxCustomImageExport(TComponent* owner);
    explicit TfrxCustomImageExport(TfrxNoRegister n);
    ~TfrxCustomImageExport() override;

    /// Finds the picture format (Exception "Picture format %s not found." without it), clears the
    /// counters and, without SeparateFiles, makes the one bitmap. True when FileName or Stream
    /// is set. A Resolution below 1 raises EInvalidOperation.
    bool Start() override;
    void StartPage(TfrxComponent* page, int index) override;
    /// Draws a view (printable ones, or all with ExportNotPrintable) and widens the drawn
    /// bounds, except for the page background picture.
    void ExportObject(TfrxComponent* obj) override;
    void FinishPage(TfrxComponent* page, int index) override;
    void Finish() override;
    String ExportDialogClass() const override { return u"TfrxIMGExportDialog"; }
    bool IsProcessInternal() override { return false; }

    int Resolution() const { return FResolution; }
    void SetResolution(int value) { FResolution = value; }
    int JPEGQuality() const { return FJPEGQuality; }
    void SetJPEGQuality(int value) { FJPEGQuality = value; }
    bool SeparateFiles() const { return FSeparate; }
    void SetSeparateFiles(bool value) { FSeparate = value; }
    bool CropImages() const { return FCrop; }
    void SetCropImages(bool value) { FCrop = value; }
    bool Monochrome() const { return FMonochrome; }
    void SetMonochrome(bool value) { FMonochrome = value; }
    /// The image exports' own option (the filter base keeps a separate one of the same name).
    bool ExportNotPrintable() const { return FExportNotPrintable; }
    void SetExportNotPrintable(bool value) { FExportNotPrintable = value; }

    /// The bitmap being drawn (none between images).
    TBitmap* Bitmap() const { return FBitmap.get(); }
    /// Scale from report pixels to bitmap pixels.
    long double Div() const { return FDiv; }
    int YOffset() const { return FYOffset; }

protected:
    /// Writes the bitmap into the stream in the export's format: the picture format's
    /// conversion at 24 bits and JPEGQuality in the base.
    virtual void SaveImage(TStream& stream);
    /// Crops (with CropImages, when objects were drawn), writes and frees the bitmap; the bitmap
    /// is freed also when writing fails.
    virtual void FinishImage();
    /// Saves into Stream, or into the transport's stream of the page's file name; errors go to
    /// the silent mode (see the file comment).
    void WriteImage();
    /// The silent mode's handling of the exception being handled.
    void HandleWriteError(const Exception& e);
    /// The chosen transport, or the default one set up from this filter.
    TfrxCustomIOTransport* Transport();
    /// The widest page and the sum of all pages' heights of the report's prepared pages, in
    /// report pixels; without a report or prepared pages, the size of `page`.
    virtual TfrxPoint AllPagesSize(TfrxComponent* page);
    /// FCurrentRes and FDiv from Resolution.
    void SetScale();
    /// A new white bitmap of that size in bitmap pixels (1 bit with Monochrome).
    void NewBitmap(int width, int height);
    int Round(long double value) const;

    String FPicFormatName = u"BMP";
    TfrxGraphicFormatClass FGHelper = nullptr;
    std::unique_ptr<TBitmap> FBitmap;
    int FCurrentPage = 0;
    int FMaxX = 0, FMaxY = 0, FMinX = 0, FMinY = 0;
    int FCurrentRes = 96;
    int FYOffset = 0;
    String FFileSuffix;
    bool FFirstPage = false;
    long double FDiv = 1;

private:
    bool FCrop = false;
    int FJPEGQuality = 90;
    bool FMonochrome = false;
    int FResolution = 96;
    bool FSeparate = true;
    bool FExportNotPrintable = false;
};

class TfrxBMPExport : public TfrxCustomImageExport {
    VGL_CLASS(TfrxBMPExport, TfrxCustomImageExport)
    explicit TfrxBMPExport(TComponent* owner);
    explicit TfrxBMPExport(TfrxNoRegister n);
    String GetDescription() const override;
};

class TfrxJPEGExport : public TfrxCustomImageExport {
    VGL_CLASS(TfrxJPEGExport, TfrxCustomImageExport)
    explicit TfrxJPEGExport(TComponent* owner);
    explicit TfrxJPEGExport(TfrxNoRegister n);
    String GetDescription() const override;
};

class TfrxGIFExport : public TfrxCustomImageExport {
    VGL_CLASS(TfrxGIFExport, TfrxCustomImageExport)
    explicit TfrxGIFExport(TComponent* owner);
    explicit TfrxGIFExport(TfrxNoRegister n);
    String GetDescription() const override;

protected:
    void SaveImage(TStream& stream) override;
};

/// TIFF images; with MultiImage and without SeparateFiles every page becomes one more image of
/// one file (Stream, or a file the export opens from Start to Finish), never cropped.
class TfrxTIFFExport : public TfrxCustomImageExport {
    VGL_CLASS(TfrxTIFFExport, TfrxCustomImageExport)
    explicit TfrxTIFFExport(TComponent* owner);
    explicit TfrxTIFFExport(TfrxNoRegister n);
    ~TfrxTIFFExport() override;
    String GetDescription() const override;

    bool Start() override;
    void StartPage(TfrxComponent* page, int index) override;
    void FinishPage(TfrxComponent* page, int index) override;
    void Finish() override;

    bool MultiImage() const { return FMultiImage; }
    void SetMultiImage(bool value) { FMultiImage = value; }

protected:
    void SaveImage(TStream& stream) override;

private:
    void ReleaseCreatedStream();
    bool FMultiImage = false;
    bool FMultiImageActive = false;
    bool FIsStreamCreated = false;
    String FCreatedStreamName;
    std::int64_t FFileStart = 0;
};

} // namespace vgl
