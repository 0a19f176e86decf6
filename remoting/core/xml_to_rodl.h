#pragma once
// The service-definition XML reader: TXMLToRODL reads the XML that TRODLToXML writes into a
// TRODLLibrary, from a stream, a file or a text. It can add to an existing library, give every
// entity a new UID (keeping group filings through a map of old to new group UIDs), and follows
// the Use entries into the used definition files, whose entities join the library flagged as
// coming from that use.
//
// Used definitions are loaded depth first; a file that is already being loaded further up the
// same chain is not loaded again (the use stays unmerged), and the nesting is capped at
// MaxRodlUseDepth, so definitions that use themselves or each other end.

#include <memory>
#include <vector>

#include "platform/rtl/object.h"
#include "platform/rtl/ustring.h"

namespace vgl {

class TStream;
class TRODLLibrary;
class TRODLUse;

/// The deepest nesting of used definitions that is loaded.
constexpr int MaxRodlUseDepth = 16;

class TRODLReader : public TObject {
public:
    TRODLReader() = default;
    ~TRODLReader() override = default;
    TRODLReader(const TRODLReader&) = delete;
    TRODLReader& operator=(const TRODLReader&) = delete;
    String ClassName() const override { return u"TRODLReader"; }

    /// The library read from the stream (from its start); EROException "Invalid stream" for
    /// none. A reader that adds to an existing library fills that one and answers none.
    std::unique_ptr<TRODLLibrary> Read(TStream* aStream, const String& aFileName = {});
    std::unique_ptr<TRODLLibrary> ReadFromFile(const String& aFileName);
    /// The text as UTF-8.
    std::unique_ptr<TRODLLibrary> ReadFromString(const String& aText, const String& aFileName = {});

protected:
    /// Reads into the given library or a new one (answered).
    virtual std::unique_ptr<TRODLLibrary> IntRead(TStream& aStream, const String& aFileName) = 0;
};

class TXMLToRODL : public TRODLReader {
public:
    /// aAddToExistingLibrary (not owned, none allowed): read into that library, taking the
    /// root's attributes only while its name is empty. aRecreateGuids: every entity gets a new
    /// UID.
    TXMLToRODL(TRODLLibrary* aAddToExistingLibrary, bool aRecreateGuids);
    ~TXMLToRODL() override;
    String ClassName() const override { return u"TXMLToRODL"; }

    /// Reads the file into aLibrary, taking the root's attributes, for aUse when given (the
    /// read entities then join that use).
    void LoadFileToLibrary(const String& aFileName, TRODLLibrary& aLibrary, TRODLUse* aUse);

protected:
    std::unique_ptr<TRODLLibrary> IntRead(TStream& aStream, const String& aFileName) override;

private:
    struct Chain;
    struct Document;
    TXMLToRODL(std::shared_ptr<Chain> aChain);
    void ReadInto(TStream& aStream, const String& aFileName, TRODLLibrary& aLibrary, TRODLUse* aUse,
                  bool aTakeRootAttributes);

    TRODLLibrary* fAddToExistingLibrary;
    bool fRecreateGuids;
    std::shared_ptr<Chain> fChain;
};

/// A new library read from the stream's service-definition XML (no library to add to, no new
/// UIDs, no file name); XML and format errors pass on.
std::unique_ptr<TRODLLibrary> ReadRODLLibraryFromStream(TStream& aStream);

} // namespace vgl
