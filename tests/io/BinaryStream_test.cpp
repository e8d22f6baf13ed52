// BinaryStream: open rules and codes, cutting on close, typed values, errors, a file held
// elsewhere.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "framework/containers/Stream.h"
#include "framework/core/Allocator.h"
#include "framework/core/Core.h"
#include "framework/core/testing/AllocatorHook.h"
#include "framework/io/BinaryStream.h"
#include "platform/File.h"
#include "platform/testing/FileTestHook.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/ScratchFolder.h"
#include "tests/support/TypedValues.h"

using namespace QRV2;
using QRV2Test::ReadBytes;
using QRV2Test::ScratchFolder;
using QRV2Test::WriteBytes;

namespace {

// One stream element with its Stream view, released at scope end.
struct FileStream {
    explicit FileStream(const std::string& path, std::int32_t access = Stream::AccessReadWrite) {
        element = CreateElementAs<BinaryStream>(TypeBinaryStream);
        stream = InterfaceOf<Stream>(element, InterfaceStream);
        if (element != nullptr) element->SetPathName(path.c_str());
        if (stream != nullptr) stream->SetAccessMode(access);
    }
    ~FileStream() { ReleaseElement(element); }
    Stream* operator->() { return stream; }
    BinaryStream* element = nullptr;
    Stream* stream = nullptr;
};

bool WaitFor(const std::string& path, QRV2Test::ChildProcess& child) {
    for (int i = 0; i < 1500; ++i) {
        if (QRV2Test::PathPresent(path)) return true;
        if (!child.Running()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

}  // namespace

TEST(BinaryStreamOpen, ReadOfAMissingFileGivesOneAndCreatesNothingWriteCreatesIt) {
    ScratchFolder dir;
    std::string path = dir / "new.bin";
    FileStream reader(path, Stream::AccessRead);
    ASSERT_NE(reader.stream, nullptr);
    EXPECT_EQ(reader->Open(), 1);
    EXPECT_EQ(reader->IsClosed(), 1);
    EXPECT_FALSE(QRV2Test::PathPresent(path));

    FileStream writer(path, Stream::AccessWrite);
    EXPECT_EQ(writer->Open(), 0);
    EXPECT_EQ(writer->IsClosed(), 0);
    EXPECT_EQ(writer->Open(), 1);  // already open: the handle is kept, not leaked
    EXPECT_EQ(writer->Close(), 0);
    EXPECT_EQ(ReadBytes(path), "");

    // A missing folder is the system refusing the file, whatever the access.
    FileStream nowhere(dir / "no\\such.bin", Stream::AccessWrite);
    EXPECT_EQ(nowhere->Open(), 17);
    FileStream unnamed("");
    unnamed.element->SetPathName(nullptr);
    EXPECT_EQ(unnamed.element->GetPathName(), nullptr);
    EXPECT_EQ(unnamed->Open(), 1);
}

TEST(BinaryStreamClose, WritingCutsAtThePositionReadingKeepsTheLength) {
    ScratchFolder dir;
    std::string path = dir / "cut.bin";
    WriteBytes(path, std::string(100, 'o'));
    {
        FileStream writer(path, Stream::AccessWrite);
        ASSERT_EQ(writer->Open(), 0);
        EXPECT_EQ(writer->Write("0123456789", 10), 10u);
        EXPECT_EQ(writer->Close(), 0);
    }
    EXPECT_EQ(ReadBytes(path), "0123456789");
    {
        FileStream both(path);
        ASSERT_EQ(both->Open(), 0);
        char buffer[4] = {};
        EXPECT_EQ(both->Read(buffer, 4), 4u);
        EXPECT_EQ(both->Close(), 0);
    }
    EXPECT_EQ(ReadBytes(path), "0123456789");
    {
        // The written flag survives a reopen: the next Close cuts again, at its position.
        FileStream again(path);
        ASSERT_EQ(again->Open(), 0);
        again->SetPosition(4);
        again->Write16(0x4241);
        EXPECT_EQ(again->Close(), 0);
        EXPECT_EQ(ReadBytes(path), "0123AB");
        ASSERT_EQ(again->Open(), 0);
        again->SetPosition(2);
        EXPECT_EQ(again->Close(), 0);
        EXPECT_EQ(ReadBytes(path), "01");
    }
    {
        // Releasing an open stream closes it (and cuts).
        FileStream dropped(path, Stream::AccessWrite);
        ASSERT_EQ(dropped->Open(), 0);
        dropped->Write("Z", 1);
    }
    EXPECT_EQ(ReadBytes(path), "Z");
}

TEST(BinaryStreamValues, TypedValuesLittleEndianAndTheErrorFlag) {
    ScratchFolder dir;
    std::string path = dir / "values.bin";
    FileStream file(path);
    ASSERT_EQ(file->Open(), 0);
    QRV2Test::WriteTypedSample(file.stream);
    std::uint32_t size = 0, position = 0;
    EXPECT_EQ(file->GetSize(&size), 0);
    EXPECT_EQ(size, 18u);
    EXPECT_EQ(file->SetPosition(0), 0);
    QRV2Test::ExpectTypedSample(file.stream);
    std::uint32_t v32 = 0;
    // At the end a typed read gives 0, leaves the value and sets no error.
    v32 = 77;
    EXPECT_EQ(file->Read32(&v32), 0u);
    EXPECT_EQ(v32, 77u);
    EXPECT_EQ(file->HasError(), 0);
    // A short bulk read sets it; a failed seek keeps it; a good seek clears it.
    file->SetPosition(15);
    char buffer[8];
    EXPECT_EQ(file->Read(buffer, 8), 3u);
    EXPECT_EQ(file->HasError(), 1);
    EXPECT_EQ(file->SetPosition(0x80000000u), 1);
    EXPECT_EQ(file->HasError(), 1);
    EXPECT_EQ(file->SetPosition(3), 0);
    EXPECT_EQ(file->HasError(), 0);
    EXPECT_EQ(file->GetPosition(&position), 0);
    EXPECT_EQ(position, 3u);
    file->SetPosition(18);  // a written stream ends the file where it stands at Close
    file->Close();
    const unsigned char expected[] = {0x34, 0x12, 0xD4, 0xC3, 0xB2, 0xA1, 0xFE, 0xFF, 0xFF,
                                      0xFF, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01};
    EXPECT_EQ(ReadBytes(path), std::string(reinterpret_cast<const char*>(expected), 18));
}

TEST(BinaryStreamModes, SettersRefusedWhileOpenAndClosedStreamsAnswerOne) {
    ScratchFolder dir;
    FileStream file(dir / "modes.bin", Stream::AccessWrite);
    std::uint32_t value = 55;
    EXPECT_EQ(file->GetSize(&value), 1);
    EXPECT_EQ(file->GetPosition(&value), 1);
    EXPECT_EQ(value, 55u);
    EXPECT_EQ(file->Close(), 1);
    EXPECT_EQ(file->HasError(), 1);  // a never-written stream asks a missing file for its size
    ASSERT_EQ(file->Open(), 0);
    EXPECT_EQ(file->SetAccessMode(Stream::AccessRead), 1);
    EXPECT_EQ(file->SetUsage(Stream::UsageSequential), 1);
    EXPECT_EQ(file->GetAccessMode(), Stream::AccessWrite);
    EXPECT_EQ(file->Close(), 0);
    EXPECT_EQ(file->Close(), 1);
}

TEST(BinaryStreamSharing, SecondWriterInTheSameProcessIsRefusedUntilTheFirstCloses) {
    ScratchFolder dir;
    std::string path = dir / "one.bin";
    FileStream first(path, Stream::AccessWrite);
    FileStream second(path, Stream::AccessRead);
    ASSERT_EQ(first->Open(), 0);
    EXPECT_EQ(second->Open(), 17);
    first->Close();
    EXPECT_EQ(second->Open(), 0);
    FileStream third(path, Stream::AccessRead);
    EXPECT_EQ(third->Open(), 0);  // readers share
}

TEST(BinaryStreamSharing, FileHeldForWritingByAnotherProcessGivesSeventeenUntilItExits) {
    ScratchFolder dir;
    std::string path = dir / "held.dat";
    std::string ready = dir / "ready.mark";
    std::string release = dir / "release.mark";
    WriteBytes(path, "held content");
    QRV2Test::ChildProcess holder;
    ASSERT_TRUE(
        holder.Start(QRV2Test::HelperProgram("file_holder"), {path, ready, release, "20000"}));
    ASSERT_TRUE(WaitFor(ready, holder)) << "the helper never signalled readiness";

    FileStream writer(path, Stream::AccessWrite);
    FileStream reader(path, Stream::AccessRead);
    EXPECT_EQ(writer->Open(), 17);
    EXPECT_EQ(writer->IsClosed(), 1);
    EXPECT_EQ(reader->Open(), 17);

    WriteBytes(release, "");
    int exitCode = -1;
    ASSERT_TRUE(holder.Wait(20000, &exitCode));
    EXPECT_EQ(exitCode, 0);
    EXPECT_EQ(writer->Open(), 0);
    writer->Write("new", 3);
    EXPECT_EQ(writer->Close(), 0);
    EXPECT_EQ(ReadBytes(path), "new");
}

TEST(BinaryStreamWrites, FullDiskSetsTheErrorFlagAndReportsTheBytesWritten) {
    ScratchFolder dir;
    FileStream file(dir / "full.bin", Stream::AccessWrite);
    ASSERT_EQ(file->Open(), 0);
    Platform::FileTestHook::FailWritesAfter(6);
    EXPECT_EQ(file->Write32(1), 4u);
    EXPECT_EQ(file->HasError(), 0);
    EXPECT_EQ(file->Write32(2), 2u);
    EXPECT_EQ(file->HasError(), 1);
    Platform::FileTestHook::Reset();
    EXPECT_EQ(file->Close(), 0);
}

TEST(BinaryStreamStorage, PathThatCannotBeStoredLeavesNoStalePath) {
    FileStream file("Z:\\old\\path.bin");
    AllocatorHook::FailNth(1);
    EXPECT_EQ(file.element->SetPathName("Z:\\new\\path.bin"), 1);
    AllocatorHook::Disarm();
    EXPECT_EQ(file.element->GetPathName(), nullptr);
    EXPECT_EQ(file->Open(), 1);
}
