#pragma once
// Free functions the whole report engine shares: floating-point geometry, stream CRC-32 and hex
// text, locale-tolerant number texts, delimited and page-range texts, bracketed expressions,
// component lookup by qualified name, temporary files and folders, and error reporting by the
// report's silent mode.

#include <cstdint>
#include <functional>
#include <optional>

#include "platform/rtl/ustring.h"

namespace vgl {

class TObject;
class TComponent;
class TStream;
class TMemoryStream;
class TStrings;

// ---- Geometry ------------------------------------------------------------------------------

/// Tolerance of the length comparisons below.
constexpr long double frxLengthTolerance = 1e-4L;

struct TfrxRect {
    long double Left = 0, Top = 0, Right = 0, Bottom = 0;
};

struct TfrxPoint {
    long double X = 0, Y = 0;
};

TfrxRect MakeFrxRect(long double left, long double top, long double right, long double bottom);
TfrxPoint MakeFrxPoint(long double x, long double y);

/// A rectangle as left (X), top (Y), right (X1) and bottom (Y1). Report objects build theirs from
/// their absolute position and size.
class TfrxRectArea {
public:
    TfrxRectArea() = default;
    TfrxRectArea(long double left, long double top, long double right, long double bottom)
        : X(left), Y(top), X1(right), Y1(bottom) {}

    /// True when the two areas overlap horizontally by more than the tolerance (touching edges
    /// do not overlap).
    bool InterceptsX(const TfrxRectArea& a) const;
    bool InterceptsY(const TfrxRectArea& a) const;
    /// The horizontal overlap (X = larger X, X1 = smaller X1, Y = Y1 = 0), none without overlap.
    std::optional<TfrxRectArea> InterceptX(const TfrxRectArea& a) const;
    /// The vertical overlap (Y = larger Y, Y1 = smaller Y1, X = X1 = 0), none without overlap.
    std::optional<TfrxRectArea> InterceptY(const TfrxRectArea& a) const;

    long double X = 0, Y = 0, X1 = 0, Y1 = 0;
};

long double Max(long double x1, long double x2);
long double Min(long double x1, long double x2);
/// True when |a − b| exceeds 1e-4.
bool FloatsDiffer(long double a, long double b);

// ---- Streams and hex text ------------------------------------------------------------------

/// CRC-32 (the checksum of zlib and PNG) of the whole stream, read from position 0 to its end.
/// The stream's position is the same afterwards, also when reading fails.
std::uint32_t StreamCRC32(TStream& stream);
/// Two upper-case hex digits per byte, high nibble first, of the whole stream (its position is
/// not used and not changed).
String StreamToHexText(const TMemoryStream& stream);
/// Writes the bytes of a hex text (digits of either case, two per byte) at position 0 of the
/// stream. The text is checked first: a pair that is not two hex digits, or a final single digit,
/// raises EConvertError naming its 1-based position and nothing is written.
void HexTextToStream(StringView text, TStream& stream);

// ---- Numbers and texts ---------------------------------------------------------------------

/// Reads a number whose decimal separator may be "." or ",": both become the process's decimal
/// separator and blanks are removed (so "1 234,5" is 1234.5). Raises EConvertError for a text
/// that is no number.
long double TextToFloat(StringView text);
/// FloatToStr for whole numbers, else two decimals ("%2.2f").
String FloatToDisplayText(long double value);
/// The value with exactly `digits` decimals (0..18, halves away from zero) and `separator` as
/// decimal separator, a leading "-" for negative values, no thousands separator and never an
/// exponent; independent of any locale (numbers written into exported files).
String FloatToFixedText(long double value, int digits, Char separator);
/// The 32 binary digits of the value, most significant first, without leading zero bytes
/// (5 → "00000101", 256 → "0000000100000000"); 0 gives 32 zeros.
String IntToBinaryText(std::int32_t value);
String ReplaceChar(StringView text, Char oldChar, Char newChar);
/// "/" → "\".
String SlashesToBackslashes(StringView text);
String IfThenStr(bool flag, const String& first, const String& second);
long double IfThenFloat(bool flag, long double first, long double second);
int IfThenInt(bool flag, int first, int second);

/// Splits a list of values, telling it from a single value: the list is cleared and stays empty
/// for a text without a cutting separator ("a" gives nothing; "a;b" gives a and b). A separator
/// cuts only after at least one character of the current piece, and the last character always
/// ends the last piece, so edge separators stay in the pieces (";a;b" gives ";a" and b,
/// "a;;b" gives a and ";b", "a;b;" gives a and "b;").
void SplitTextByChar(TStrings& list, StringView text, Char separator);
/// Clears the list and adds every field between delimiters, empty ones included; a final
/// delimiter only ends the last field ("a,,b" gives a, "" and b; "a," gives a).
void FillListFromDelimited(StringView text, TStrings& list, Char delimiter);
/// Fills the list with the page numbers a page-range text names ("1,3,5-7"; other characters
/// are dropped; a final "-" runs to `lastPage`). Single numbers are added as written, a range
/// m-n adds m..n, cut off at `lastPage` (a page beyond it does not exist); empty items are
/// skipped. An empty text gives an empty list (all pages). Raises EConvertError for an item
/// that is no number.
void ExpandPageNumbers(StringView text, TStrings& list, int lastPage);
/// The text between `openBracket` at the 1-based position `start` and its matching
/// `closeBracket`; nesting is counted and brackets inside '...' or "..." are ignored. On success
/// `end` is the position of the closing bracket's last character. When no complete bracketed
/// expression starts at `start` (no opening bracket there, or none that is closed), `end` =
/// `start` and the result is empty: callers stop when they are equal.
String ExtractBracketedExpression(StringView text, StringView openBracket, StringView closeBracket, int& start,
                                  int& end);

// ---- Components and names ------------------------------------------------------------------
// Forms, data modules, frames and reports are recognised by their class names ("TCustomForm",
// "TDataModule", "TCustomFrame", "TfrxReport", or "TForm", "TFrame"), ancestors included, so
// that this layer needs none of those classes.

/// The name by which `owner`'s world refers to `component`: its Name (no owner, the same owner,
/// or `owner` is a report owned by the component's owner), "Form.Name" for a component of a form
/// or data module, "Frame.Name" or "FrameOwner.Frame.Name" for a component of a frame; the
/// empty text for none and for any other owner.
String ComponentFullName(const TComponent* owner, const TComponent* component);

/// Finds the global form or data module of a name (none when there is none).
using TFindGlobalComponent = std::function<TComponent*(StringView name)>;
/// Sets the process's lookup of global forms and data modules (at start-up). Without one no
/// global component is found.
void SetFindGlobalComponent(TFindGlobalComponent lookup);
TComponent* FindGlobalComponent(StringView name);

/// The component a (qualified) name denotes from `owner`: "Form.Component" and
/// "Form.Frame.Component" through FindGlobalComponent; a plain name among `owner`'s components,
/// then, when `owner` is a report, among its owner's. None when nothing is found. A name part of
/// more than 255 characters or a failing lookup raises EClassNotFound "Missing <name>".
TComponent* FindComponentByPath(TComponent* owner, StringView name);

/// True for a picture view ("TfrxPictureView") other than the page background
/// ("_pagebackground").
bool IsPrintablePictureView(const TObject* object);

// ---- Files and folders ---------------------------------------------------------------------

/// The system folder for temporary files, with a trailing "/".
String GetTempFolder();
/// A new empty file with prefix "fr" in the temporary folder; returns its name.
String GetTempFileNameInTemp();
/// The same in `folder` (the temporary folder when empty).
String GetTempFileNameInFolder(const String& folder);
/// The program's file name, and its folder with a trailing "/".
String GetModuleFileNameOrExe();
String GetModuleFolder();
bool DirectoryExistsAt(const String& folder);
/// Removes "." segments and resolves ".." segments of an absolute path ("C:\a\b\..\c" →
/// "C:\a\c", "/a/./b" → "/a/b"); "\" and "/" both separate. A ".." at the first level is removed
/// alone; a final "." or ".." segment stays. Other texts are returned as they are.
String CollapsePathDots(StringView path);
/// Deletes the folder with everything in it, ignoring failures. Symbolic links inside are removed,
/// never followed, so nothing outside the folder is deleted; a folder name that is itself a link
/// is left alone.
void DeleteFolderTree(const String& folder);

// ---- Error reporting -----------------------------------------------------------------------

/// How a report reports its engine errors (its engine options' SilentMode).
enum TfrxSilentMode { simMessageBoxes, simSilent, simReThrow };

/// Receives the messages that a desktop program would show in a message box.
using TfrxMessageLog = std::function<void(const String& caption, const String& text)>;
/// Sets where ErrorMessageBox writes (standard error when none is set or after setting none).
void SetErrorMessageLog(TfrxMessageLog log);
/// The process shows no windows: the message is written to the message log with the caption of
/// resource text "mbError" and the call returns at once.
void ErrorMessageBox(const String& text);
/// simMessageBoxes: ErrorMessageBox; simReThrow: raises Exception with the message; simSilent:
/// nothing.
void ReportErrorMessage(TfrxSilentMode silentMode, const String& message);

} // namespace vgl
