#pragma once
// The report engine's XML document: a tree of TfrxXMLItem with the engine's own reader and
// writer, optional line indentation, and unloading of subtrees to a temporary file.
//
// Format: the header <?xml version="1.0" encoding="utf-8" standalone="no"?>, then the root
// element. Element names are bytes in the system ANSI code page; attribute text and content are
// UTF-8. An unloadable node carries ` ld="0"` after its attributes. With AutoIndent every line
// ends with CR LF and each level adds two blanks; without it the document is one line.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "platform/rtl/ustring.h"
#include "report/foundation/xml_item.h"

namespace vgl {

class TStream;

/// Raised by the reader with the message "Invalid file format".
VGL_DECLARE_EXCEPTION(TfrxInvalidXMLException, Exception);

/// Reads the byte format through a 4096-byte buffer. Destroying the reader puts the stream at
/// the reader's logical Position, so buffered but unconsumed bytes are given back.
class TfrxXMLReader {
public:
    explicit TfrxXMLReader(TStream& stream);
    ~TfrxXMLReader();
    TfrxXMLReader(const TfrxXMLReader&) = delete;
    TfrxXMLReader& operator=(const TfrxXMLReader&) = delete;

    /// Position of the next unread byte; setting it moves the stream and empties the buffer.
    std::int64_t Position() const { return FPosition; }
    void SetPosition(std::int64_t position);

    /// Reads the header tag (its name must begin with "?xml") and sets OldFormat: version "1.0"
    /// without "standalone=" means attribute text is in the ANSI code page.
    void ReadHeader();
    /// Reads one element with its subtree into `item`. Nodes flagged ` ld="0"` lose the flag;
    /// with `readChildren` false they are also left unloaded (children dropped, Offset at their
    /// start tag, this reader's stream as their source). A node that already has a Name and is
    /// not loaded keeps its Name and Text (it is being reloaded). Raises
    /// TfrxInvalidXMLException for a malformed tag, a closing tag that does not match, data that
    /// ends with open elements, or nesting deeper than MaxDepth.
    void ReadRootItem(TfrxXMLItem& item, bool readChildren = true);
    [[noreturn]] void RaiseException();

    /// Attribute text is in the ANSI code page instead of UTF-8.
    bool OldFormat = false;
    /// Deepest element nesting accepted (keeps a hostile document from exhausting the stack).
    static constexpr int MaxDepth = 1000;

private:
    struct Tag {
        String Name;
        String Text;
    };
    Tag ReadTag();
    bool Refill();
    // Returns false when `item` turned out to end its parent's list instead of being an element.
    bool ReadItem(TfrxXMLItem& item, bool readChildren, int depth, String& lastName);

    TStream& FStream;
    std::vector<std::uint8_t> FBuffer;
    size_t FBufPos = 0;
    size_t FBufEnd = 0;
    std::int64_t FPosition = 0;
    std::int64_t FSize = 0;
    std::string FTag; // the bytes of the tag being collected
};

/// Writes the byte format; output is collected and written in blocks of just over 4096 bytes.
class TfrxXMLWriter {
public:
    explicit TfrxXMLWriter(TStream& stream) : FStream(stream) {}
    TfrxXMLWriter(const TfrxXMLWriter&) = delete;
    TfrxXMLWriter& operator=(const TfrxXMLWriter&) = delete;

    void WriteHeader();
    /// Writes `item` and its subtree and flushes. An unloaded node's children are read back from
    /// its source (or from TempStream) for the write and dropped again afterwards.
    void WriteRootItem(TfrxXMLItem& item);

    bool AutoIndent = false;
    TStream* TempStream = nullptr;

private:
    void WriteLn(const std::string& line);
    void FlushBuffer();
    void WriteItem(TfrxXMLItem& item, int indent);

    TStream& FStream;
    std::string FBuffer;
};

/// A tree with a header, optional indentation and unloadable subtrees. The document owns every
/// stream its unloaded nodes point into: the stream taken over by a partial load and the
/// temporary file that UnloadItem appends to, so either kind of node can be loaded at any time
/// until the document is cleared, reloaded or destroyed.
class TfrxXMLDocument : public TObject {
public:
    TfrxXMLDocument();
    ~TfrxXMLDocument() override;
    TfrxXMLDocument(const TfrxXMLDocument&) = delete;
    TfrxXMLDocument& operator=(const TfrxXMLDocument&) = delete;
    String ClassName() const override { return u"TfrxXMLDocument"; }

    /// Clears Root and drops the temporary file and any taken-over stream.
    void Clear();
    /// Loads the whole document from the stream's position; the caller keeps the stream, which is
    /// left just after the root element's last byte.
    void LoadFromStream(TStream& stream);
    /// Loads from a stream the document takes over. With `allowPartialLoading`, nodes flagged
    /// ` ld="0"` stay unloaded and are read from this stream on demand (it is kept until Clear,
    /// the next load or destruction); without it the stream is freed after loading.
    void LoadFromStream(std::unique_ptr<TStream> stream, bool allowPartialLoading);
    void SaveToStream(TStream& stream);
    /// Opens the file for reading and loads it with partial loading (the file stays open).
    void LoadFromFile(const String& fileName);
    /// Writes "<fileName>.tmp", then renames it over `fileName` (an atomic replacement: the
    /// original stays intact when anything fails, and failures raise), then loads the new file.
    void SaveToFile(const String& fileName);
    /// Moves a loaded unloadable node's children to the end of the temporary file.
    void UnloadItem(TfrxXMLItem& item);
    /// Reads an unloaded node's children back from its stream.
    void LoadItem(TfrxXMLItem& item);

    TfrxXMLItem* Root() const { return FRoot.get(); }
    bool OldVersion() const { return FOldVersion; }
    const String& TempFile() const { return FTempFile; }

    bool AutoIndent = false;
    /// Folder for the temporary file; the system temporary folder when empty or missing.
    String TempDir;

private:
    void CreateTempFile();
    void DeleteTempFile();
    void Load(TStream& stream, bool readChildren);

    std::unique_ptr<TfrxXMLItem> FRoot;
    std::unique_ptr<TStream> FTempStream;   // the temporary file (TempFileCreated when set)
    std::unique_ptr<TStream> FLoadedStream; // taken over by a partial load
    String FTempFile;
    bool FOldVersion = false;
};

} // namespace vgl
