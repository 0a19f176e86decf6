#include "remoting/core/ro_base_connection.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/rtl/exceptions.h"
#include "remoting/core/ro_binary_memory_stream.h"
#include "remoting/core/ro_interfaced_object.h"

namespace vgl {
namespace {

std::string Content(const TMemoryStream& s) {
    const auto bytes = s.Bytes();
    return std::string(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

TEST(ROBaseConnectionTest, EncryptionSettingsKeepNoState) {
    TROBaseConnection connection(nullptr);
    TROEncryption& encryption = *connection.Encryption();
    SetEnumProp(encryption, u"EncryptionMethod", u"tetRijndael");
    SetStrProp(encryption, u"EncryptionSendKey", u"secret");
    SetOrdProp(encryption, u"UseCompression", 1);
    SetMethodProp(encryption, u"OnBeforeEncryption", std::any(TROEncryptionEvent([](TObject*, TStream*) {})));
    EXPECT_EQ(GetEnumProp(encryption, u"EncryptionMethod"), u"tetNone");
    EXPECT_EQ(GetStrProp(encryption, u"EncryptionSendKey"), u"");
    EXPECT_EQ(GetOrdProp(encryption, u"UseCompression"), 0);
    EXPECT_FALSE(encryption.GetOnBeforeEncryption());

    SetMethodProp(connection, u"OnBeforeDecrypt", std::any(TROBaseConnectionOperation([](TObject*, TStream*) {})));
    EXPECT_FALSE(connection.OnBeforeDecrypt());
    TROEncryption other;
    SetObjectProp(connection, u"Encryption", &other);
    EXPECT_EQ(connection.Encryption(), &encryption);

    EXPECT_FALSE(connection.UsesCompression());
    EXPECT_FALSE(connection.UsesEncryption());
    TROBaseConnection second(nullptr);
    EXPECT_NO_THROW(second.Assign(&connection));
}

TEST(ROBaseConnectionTest, EncryptAndDecryptCopyTheWholeStream) {
    TROBaseConnection connection(nullptr);
    TROBinaryMemoryStream plain(AnsiString("payload"));
    plain.SetPosition(3);
    TROBinaryMemoryStream wire;
    connection.EncryptStream(plain, wire);
    EXPECT_EQ(Content(wire), "payload");

    TROBinaryMemoryStream back;
    wire.SetPosition(7);
    connection.DecryptStream(wire, back);
    EXPECT_EQ(Content(back), "payload");
}

// Counts destructions; optionally hands itself out as a reference while it is constructed or
// destroyed, as objects do that register themselves with another object.
class Probe : public TROInterfacedObject {
public:
    explicit Probe(std::atomic<int>& destroyed, bool selfReferenceInConstructor = false) : FDestroyed(destroyed) {
        if (selfReferenceInConstructor)
            TROIntf<Probe> self(this);
    }
    ~Probe() override {
        if (SelfReferenceInDestructor)
            TROIntf<Probe> self(this);
        ++FDestroyed;
    }
    bool SelfReferenceInDestructor = false;

private:
    std::atomic<int>& FDestroyed;
};

TEST(ROInterfacedObjectTest, LastReleaseDestroysOnce) {
    std::atomic<int> destroyed = 0;
    {
        TROIntf<Probe> a = ROCreate<Probe>(destroyed);
        EXPECT_EQ(a->RefCount(), 1);
        TROIntf<Probe> b = a;
        EXPECT_EQ(a->RefCount(), 2);
        b.Reset();
        EXPECT_EQ(a->RefCount(), 1);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(ROInterfacedObjectTest, SelfReferencesDuringConstructionAndDestruction) {
    std::atomic<int> destroyed = 0;
    {
        TROIntf<Probe> p = ROCreate<Probe>(destroyed, true);
        EXPECT_EQ(destroyed, 0); // not freed by its own constructor's reference
        p->SelfReferenceInDestructor = true;
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(ROInterfacedObjectTest, FreeRefusesAnObjectStillReferenced) {
    std::atomic<int> destroyed = 0;
    TROIntf<Probe> p = ROCreate<Probe>(destroyed);
    try {
        p->Free();
        ADD_FAILURE() << "freed while referenced";
    } catch (const EInvalidPointer& e) {
        EXPECT_EQ(e.Message(), u"Invalid pointer operation");
    }
    EXPECT_EQ(destroyed, 0);
    Probe* raw = p.Get();
    raw->_AddRef();
    p.Reset();
    EXPECT_EQ(raw->_Release(), 0);
    EXPECT_EQ(destroyed, 1);

    // An object nobody references may be freed directly.
    Probe* unreferenced = new Probe(destroyed);
    unreferenced->AfterConstruction();
    unreferenced->Free();
    EXPECT_EQ(destroyed, 2);
}

TEST(ROInterfacedObjectTest, QueryInterface) {
    std::atomic<int> destroyed = 0;
    TROIntf<Probe> p = ROCreate<Probe>(destroyed);
    void* obj = nullptr;
    EXPECT_EQ(p->QueryInterface(IID_IInterface, &obj), S_OK);
    EXPECT_EQ(obj, static_cast<void*>(static_cast<TROInterfacedObject*>(p.Get())));
    EXPECT_EQ(p->RefCount(), 2);
    p->_Release();
    EXPECT_EQ(p->QueryInterface(CreateGUID(), &obj), E_NOINTERFACE);
    EXPECT_EQ(obj, nullptr);
}

TEST(ROInterfacedObjectTest, ReferencesFromManyThreads) {
    std::atomic<int> destroyed = 0;
    TROIntf<Probe> shared = ROCreate<Probe>(destroyed);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&shared] {
            for (int i = 0; i < 20000; ++i) {
                TROIntf<Probe> copy = shared;
            }
        });
    for (auto& t : threads)
        t.join();
    EXPECT_EQ(shared->RefCount(), 1);
    EXPECT_EQ(destroyed, 0);
    shared.Reset();
    EXPECT_EQ(destroyed, 1);
}

} // namespace
} // namespace vgl
