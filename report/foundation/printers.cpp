#include "report/foundation/printers.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <utility>

#include "platform/rtl/sysutils.h"
#include "report/foundation/gui_thread.h"
#include "report/foundation/paper_sizes.h"
#include "report/foundation/resource_strings.h"

namespace vgl {

namespace {

constexpr int BinDefault = 7;

int CodeAt(const TStringList& list, int index) {
    if (index < 0 || index >= list.Count())
        return -1;
    return int(reinterpret_cast<std::intptr_t>(list.GetObject(index)));
}

int IndexOfCode(const TStringList& list, int code) {
    for (int i = 0; i < list.Count(); ++i)
        if (CodeAt(list, i) == code)
            return i;
    return -1;
}

int NameToNumber(const TStringList& list, const String& name) {
    int i = list.IndexOf(name);
    return CodeAt(list, i >= 0 ? i : 0);
}

} // namespace

// ---- TfrxPrinterCanvas ----

TfrxPrinterCanvas::TfrxPrinterCanvas(TfrxCustomPrinter& printer) : FPrinter(printer) {
    FFont.OnChange = [this](TObject*) { UpdateFont(); };
    UpdateFont();
}

TPoint TfrxPrinterCanvas::Resolution() const {
    return FPrinter.DPI();
}

void TfrxPrinterCanvas::UpdateFont() {
    // Resolution, not the printer's DPI: a canvas standing for another device keeps its fonts
    // at the resolution it reports.
    const int dpiY = Resolution().Y;
    if (dpiY <= 0 || FFont.GetPixelsPerInch() == dpiY)
        return;
    const int size = FFont.GetSize();
    FFont.SetPixelsPerInch(dpiY); // notifies again, now with nothing to do
    FFont.SetSize(size);
}

bool IsPrinterCanvas(const TCanvas& canvas) {
    return dynamic_cast<const TfrxPrinterCanvas*>(&canvas) != nullptr;
}

// ---- TfrxCustomPrinter ----

TfrxCustomPrinter::TfrxCustomPrinter(String name, String port) : FName(std::move(name)), FPort(std::move(port)) {
    AddCode(FPapers, frxResourcesInstance().Get(u"prCustom"), PaperCustom);
    AddCode(FBins, frxResourcesInstance().Get(u"prDefault"), BinDefault);
    FCanvas = std::make_unique<TfrxPrinterCanvas>(*this);
}

TfrxCustomPrinter::~TfrxCustomPrinter() = default;

void TfrxCustomPrinter::AddCode(TStringList& list, const String& name, int code) {
    list.AddObject(name, reinterpret_cast<TObject*>(std::intptr_t(code)));
}

int TfrxCustomPrinter::PaperIndex(int code) const {
    return IndexOfCode(FPapers, code);
}

int TfrxCustomPrinter::BinIndex(int code) const {
    return IndexOfCode(FBins, code);
}

int TfrxCustomPrinter::PaperNameToNumber(const String& name) const {
    return NameToNumber(FPapers, name);
}

int TfrxCustomPrinter::BinNameToNumber(const String& name) const {
    return NameToNumber(FBins, name);
}

int TfrxCustomPrinter::PaperCode(int index) const {
    return CodeAt(FPapers, index);
}

int TfrxCustomPrinter::BinCode(int index) const {
    return CodeAt(FBins, index);
}

void TfrxCustomPrinter::SetBin(int value) {
    TCriticalSectionGuard guard(ChangeLock());
    FBin = value;
}

// ---- TfrxVirtualPrinter ----

void TfrxVirtualPrinter::Init() {
    TCriticalSectionGuard guard(ChangeLock());
    if (FInitialized)
        return;
    FDPI = Point(600, 600);
    FDefPaper = PaperA4;
    FDefOrientation = poPortrait;
    FDefPaperWidth = 210;
    FDefPaperHeight = 297;
    for (const TPaperInfo& paper : PaperInfo())
        AddCode(FPapers, String(), paper.Typ);
    FBin = -1;
    FDuplex = -1;
    FInitialized = true;
    Canvas().UpdateFont();
}

void TfrxVirtualPrinter::SetViewParams(int paperSize, long double paperWidth, long double paperHeight,
                                       TPrinterOrientation orientation) {
    TCriticalSectionGuard guard(ChangeLock());
    long double w = 0, h = 0;
    if (paperSize != PaperCustom && LookupPaperSize(paperSize, w, h)) {
        if (orientation == poLandscape)
            std::swap(w, h);
        FPaperWidth = w;
        FPaperHeight = h;
        FPaper = paperSize;
    } else {
        FPaperWidth = paperWidth;
        FPaperHeight = paperHeight;
        FPaper = PaperCustom;
    }
    FOrientation = orientation;
    FLeftMargin = FTopMargin = FRightMargin = FBottomMargin = 5;
}

void TfrxVirtualPrinter::SetPrintParams(int paperSize, long double paperWidth, long double paperHeight,
                                        TPrinterOrientation orientation, int bin, int /*duplex*/, int /*copies*/) {
    TCriticalSectionGuard guard(ChangeLock());
    SetViewParams(paperSize, paperWidth, paperHeight, orientation);
    FBin = bin;
}

// ---- TfrxPrinters ----

TfrxPrinters::TfrxPrinters() {
    TCriticalSectionGuard guard(FLock);
    FillPrinters();
    if (!FPrinterList.empty()) {
        FHasPhysicalPrinters = true;
        int i = IndexOf(Trim(GetDefaultPrinter()));
        SetPrinterIndex(i >= 0 ? i : 0);
    } else {
        Add(std::make_unique<TfrxVirtualPrinter>(frxResourcesInstance().Get(u"prVirtual"), String()));
        FHasPhysicalPrinters = false;
        SetPrinterIndex(0);
    }
}

TfrxPrinters::~TfrxPrinters() = default;

void TfrxPrinters::Add(std::unique_ptr<TfrxCustomPrinter> printer) {
    printer->ShareLock(FLock);
    FPrinters.Add(printer->Name());
    FPrinterList.push_back(std::move(printer));
}

void TfrxPrinters::Clear() {
    TCriticalSectionGuard guard(FLock);
    FPrinters.Clear();
    FPrinterList.clear();
}

void TfrxPrinters::FillPrinters() {
    // No spooler to ask: the machine has no printers.
    Clear();
}

int TfrxPrinters::IndexOf(const String& name) const {
    TCriticalSectionGuard guard(FLock);
    for (int i = 0; i < FPrinters.Count(); ++i)
        if (AnsiSameText(FPrinters.Get(i), name))
            return i;
    return -1;
}

TfrxCustomPrinter* TfrxPrinters::GetItem(int index) const {
    TCriticalSectionGuard guard(FLock);
    if (index < 0 || size_t(index) >= FPrinterList.size())
        return nullptr;
    return FPrinterList[size_t(index)].get();
}

String TfrxPrinters::GetDefaultPrinter() const {
    return {};
}

int TfrxPrinters::PrinterIndex() const {
    TCriticalSectionGuard guard(FLock);
    return FPrinterIndex;
}

void TfrxPrinters::SetPrinterIndex(int value) {
    TCriticalSectionGuard guard(FLock);
    FPrinterIndex = value == -1 ? IndexOf(GetDefaultPrinter()) : value;
    if (TfrxCustomPrinter* printer = GetItem(FPrinterIndex))
        printer->Init();
}

// ---- The process-wide list ----

namespace {

struct TPrintersInstance {
    std::mutex Mutex;
    std::unique_ptr<TfrxPrinters> Owner;
    std::atomic<TfrxPrinters*> Current{nullptr};
};

TPrintersInstance& PrintersInstance() {
    static TPrintersInstance instance;
    return instance;
}

} // namespace

TfrxPrinters& frxPrintersInstance() {
    TPrintersInstance& p = PrintersInstance();
    if (TfrxPrinters* current = p.Current.load(std::memory_order_acquire))
        return *current;
    // No lock is held while the GUI thread is asked: the GUI thread may want the list itself.
    // The creation locks and checks again, so the list is made exactly once.
    for (;;) {
        RunInGuiThread([&p] {
            std::lock_guard lock(p.Mutex);
            if (!p.Owner) {
                p.Owner = std::make_unique<TfrxPrinters>();
                p.Current.store(p.Owner.get(), std::memory_order_release);
            }
        });
        if (TfrxPrinters* current = p.Current.load(std::memory_order_acquire))
            return *current;
    }
}

void FreePrintersInstance() {
    TPrintersInstance& p = PrintersInstance();
    std::lock_guard lock(p.Mutex);
    p.Current.store(nullptr, std::memory_order_release);
    p.Owner.reset();
}

} // namespace vgl
