#pragma once
// The printer layer: printers with their paper and bin lists, sizes in millimetres, resolution
// and a canvas to lay pages out on. There is no print spooler here, so the process-wide list
// (frxPrintersInstance) holds one virtual printer that answers with fixed values (600 dpi, A4)
// and prints nothing; pages are still laid out against it.
//
// Concurrency: the list's lock serialises every change of the list and of its printers
// (PrinterIndex, Init, SetViewParams, SetPrintParams). A caller that changes a printer and then
// reads its values holds the lock across both (TfrxPrintersLock), since another request may
// change the printer in between.

#include <memory>
#include <vector>

#include "platform/graphics/canvas.h"
#include "platform/rtl/string_list.h"
#include "platform/rtl/sync.h"

namespace vgl {

enum TPrinterOrientation { poPortrait, poLandscape };

class TfrxCustomPrinter;

/// The canvas of a printer. Its resolution is the printer's, and it keeps its font's pixels per
/// inch at the printer's vertical resolution, re-applying the size in points, so that a font
/// assigned at screen resolution gets the printer's pixel height. It draws on no surface: the
/// virtual printer prints nothing.
class TfrxPrinterCanvas : public TCanvas {
public:
    explicit TfrxPrinterCanvas(TfrxCustomPrinter& printer);
    String ClassName() const override { return u"TfrxPrinterCanvas"; }

    /// The printer's DPI (0 × 0 before the printer is set up).
    TPoint Resolution() const override;
    TfrxCustomPrinter& Printer() const { return FPrinter; }
    /// Brings the font to the printer's vertical resolution (nothing while that is 0).
    void UpdateFont();

private:
    TfrxCustomPrinter& FPrinter;
};

/// True when `canvas` is a printer's canvas.
bool IsPrinterCanvas(const TCanvas& canvas);

/// A printer. Papers and Bins hold names with their codes as the line objects (PaperCode,
/// BinCode read them); Papers starts with "Custom" (256) and Bins with "Default" (7).
class TfrxCustomPrinter : public TObject {
public:
    TfrxCustomPrinter(String name, String port);
    ~TfrxCustomPrinter() override;
    TfrxCustomPrinter(const TfrxCustomPrinter&) = delete;
    TfrxCustomPrinter& operator=(const TfrxCustomPrinter&) = delete;
    String ClassName() const override { return u"TfrxCustomPrinter"; }

    /// Reads the device's papers, bins and defaults; runs once.
    virtual void Init() = 0;
    virtual void Abort() = 0;
    virtual void BeginDoc() = 0;
    virtual void BeginPage() = 0;
    virtual void BeginRAWDoc() = 0;
    virtual void EndDoc() = 0;
    virtual void EndPage() = 0;
    virtual void EndRAWDoc() = 0;
    virtual void WriteRAWDoc(const RawByteString& buf) = 0;
    /// Selects paper and orientation for laying out; PaperWidth/PaperHeight follow.
    virtual void SetViewParams(int paperSize, long double paperWidth, long double paperHeight,
                               TPrinterOrientation orientation) = 0;
    virtual void SetPrintParams(int paperSize, long double paperWidth, long double paperHeight,
                                TPrinterOrientation orientation, int bin, int duplex, int copies) = 0;
    virtual void PropertiesDlg() = 0;

    /// Position of `code` in Papers / Bins, -1 when missing.
    int PaperIndex(int code) const;
    int BinIndex(int code) const;
    /// The code of the entry named `name`; the first entry's code when the name is missing.
    int PaperNameToNumber(const String& name) const;
    int BinNameToNumber(const String& name) const;
    /// The driver's default duplex is one of the two-sided modes (2 or 3).
    bool IsDuplexActive() const { return FDefDuplex == 2 || FDefDuplex == 3; }

    const String& Name() const { return FName; }
    const String& Port() const { return FPort; }
    const String& Title() const { return FTitle; }
    void SetTitle(String value) { FTitle = std::move(value); }
    const String& FileName() const { return FFileName; }
    void SetFileName(String value) { FFileName = std::move(value); }
    const TStringList& Papers() const { return FPapers; }
    const TStringList& Bins() const { return FBins; }
    int PaperCode(int index) const;
    int BinCode(int index) const;
    int Paper() const { return FPaper; }
    int DefPaper() const { return FDefPaper; }
    long double PaperWidth() const { return FPaperWidth; }
    long double PaperHeight() const { return FPaperHeight; }
    long double DefPaperWidth() const { return FDefPaperWidth; }
    long double DefPaperHeight() const { return FDefPaperHeight; }
    long double LeftMargin() const { return FLeftMargin; }
    long double TopMargin() const { return FTopMargin; }
    long double RightMargin() const { return FRightMargin; }
    long double BottomMargin() const { return FBottomMargin; }
    TPrinterOrientation Orientation() const { return FOrientation; }
    TPrinterOrientation DefOrientation() const { return FDefOrientation; }
    int Bin() const { return FBin; }
    void SetBin(int value);
    int DefBin() const { return FDefBin; }
    int Duplex() const { return FDuplex; }
    int DefDuplex() const { return FDefDuplex; }
    /// Pixels per inch across and down.
    TPoint DPI() const { return FDPI; }
    bool Initialized() const { return FInitialized; }
    bool Printing() const { return FPrinting; }
    TfrxPrinterCanvas& Canvas() { return *FCanvas; }

    /// The lock that serialises changes: the list's for a printer of a list, else its own.
    TCriticalSection& ChangeLock() const { return *FLock; }
    /// Puts the printer under `lock` (the list does this for its printers; `lock` outlives it).
    void ShareLock(TCriticalSection& lock) { FLock = &lock; }

protected:
    static void AddCode(TStringList& list, const String& name, int code);

    String FName, FPort, FTitle, FFileName;
    TStringList FPapers, FBins;
    int FPaper = 0, FDefPaper = 0;
    long double FPaperWidth = 0, FPaperHeight = 0, FDefPaperWidth = 0, FDefPaperHeight = 0;
    long double FLeftMargin = 0, FTopMargin = 0, FRightMargin = 0, FBottomMargin = 0;
    TPrinterOrientation FOrientation = poPortrait, FDefOrientation = poPortrait;
    int FBin = -1, FDefBin = 0, FDuplex = -1, FDefDuplex = 0;
    TPoint FDPI;
    bool FInitialized = false;
    bool FPrinting = false;

private:
    std::unique_ptr<TfrxPrinterCanvas> FCanvas;
    mutable TCriticalSection FOwnLock;
    TCriticalSection* FLock = &FOwnLock;
};

/// The stand-in printer of a machine without printers: 600 × 600 dpi, A4 portrait by default,
/// the paper table's papers, 5 mm margins; it prints nothing.
class TfrxVirtualPrinter : public TfrxCustomPrinter {
public:
    using TfrxCustomPrinter::TfrxCustomPrinter;
    String ClassName() const override { return u"TfrxVirtualPrinter"; }

    void Init() override;
    void Abort() override {}
    void BeginDoc() override {}
    void BeginPage() override {}
    void BeginRAWDoc() override {}
    void EndDoc() override {}
    void EndPage() override {}
    void EndRAWDoc() override {}
    void WriteRAWDoc(const RawByteString&) override {}
    /// A code of the table gives its size (swapped for landscape) and becomes Paper; any other
    /// code keeps the given size and makes Paper 256. Margins become 5 mm.
    void SetViewParams(int paperSize, long double paperWidth, long double paperHeight,
                       TPrinterOrientation orientation) override;
    /// SetViewParams, and Bin := bin.
    void SetPrintParams(int paperSize, long double paperWidth, long double paperHeight, TPrinterOrientation orientation,
                        int bin, int duplex, int copies) override;
    void PropertiesDlg() override {}
};

/// The printers of the machine, or one virtual printer when there is none (always here).
class TfrxPrinters : public TObject {
public:
    TfrxPrinters();
    ~TfrxPrinters() override;
    TfrxPrinters(const TfrxPrinters&) = delete;
    TfrxPrinters& operator=(const TfrxPrinters&) = delete;
    String ClassName() const override { return u"TfrxPrinters"; }

    /// Frees all printers.
    void Clear();
    /// Lists the installed printers: none without a spooler.
    void FillPrinters();
    /// Position of the printer named `name` (case-insensitive), -1 when missing.
    int IndexOf(const String& name) const;
    /// The printer at `index`; none outside the list.
    TfrxCustomPrinter* GetItem(int index) const;
    /// The system's default printer name: empty without a spooler.
    String GetDefaultPrinter() const;

    bool HasPhysicalPrinters() const { return FHasPhysicalPrinters; }
    const TStringList& Printers() const { return FPrinters; }
    int Count() const { return int(FPrinterList.size()); }
    int PrinterIndex() const;
    /// -1 selects the default printer (none when it is not listed); another value is stored
    /// as given. The selected printer, when there is one, is initialised.
    void SetPrinterIndex(int value);
    /// The printer at PrinterIndex; none for -1 or an index outside the list.
    TfrxCustomPrinter* Printer() const { return GetItem(PrinterIndex()); }

    /// Enter / leave the lock that serialises changes of the list and its printers.
    void Lock() { FLock.Enter(); }
    void Unlock() { FLock.Leave(); }

private:
    void Add(std::unique_ptr<TfrxCustomPrinter> printer);

    mutable TCriticalSection FLock;
    bool FHasPhysicalPrinters = false;
    TStringList FPrinters;
    std::vector<std::unique_ptr<TfrxCustomPrinter>> FPrinterList;
    int FPrinterIndex = -1;
};

/// Holds the printer list's lock for its lifetime.
class TfrxPrintersLock {
public:
    explicit TfrxPrintersLock(TfrxPrinters& printers) : FPrinters(printers) { FPrinters.Lock(); }
    ~TfrxPrintersLock() { FPrinters.Unlock(); }
    TfrxPrintersLock(const TfrxPrintersLock&) = delete;
    TfrxPrintersLock& operator=(const TfrxPrintersLock&) = delete;

private:
    TfrxPrinters& FPrinters;
};

/// The process-wide printer list, created once, on first use, on the GUI thread.
TfrxPrinters& frxPrintersInstance();
/// Frees the process-wide list (FinalizeReportFoundation); the next use creates a new one.
void FreePrintersInstance();

} // namespace vgl
