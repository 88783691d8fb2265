// The stream viewer: what it shows of each kind of stream, what a stream costs whatever it claims,
// and how the window opens it and a person uses it.
#include <QBuffer>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include "app/hex_view.h"
#include "app/list_box.h"
#include "app/stream_device.h"
#include "app/stream_viewer.h"
#include "storage/element_path.h"
#include "tests/app/window_fixture.h"
#include "tests/support/cfb_patch.h"
#include "tests/support/crafted_images.h"

namespace {

using Kind = StreamContent::Kind;

std::string SmallPng() {
    QBuffer buffer;
    QImage(3, 2, QImage::Format_RGB32).save(&buffer, "PNG");
    return buffer.data().toStdString();
}

std::string SampleWave() { return ReadWholeFile(QUORVEL_SAMPLE_SOURCE "/Wave"); }

StreamContent ContentOf(const std::string& bytes, const ContentLimits& limits) {
    QByteArray data = QByteArray::fromStdString(bytes);
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    return ReadStreamContent(buffer, limits);
}

// A compound file with one root stream, and that stream opened, as the viewer opens it.
struct OneStream {
    OneStream(const TempDir& dir, const std::string& content) {
        CompoundFileWriter writer;
        writer.AddStream(CompoundFileWriter::kRoot, u"S", content);
        writer.SaveToFile(dir.File("one.acs"));
        root = OpenFileForReading(dir.File("one.acs"));
        stream = OpenStreamAt(*root.Get(), {"S"});
    }
    ComPtr<IStorage> root;
    ComPtr<IStream> stream;
};

}  // namespace

TEST(StreamContent, EachKindOfStreamIsShownAsItsBytesAllow) {
    ContentLimits limits;
    limits.frames = 8;
    limits.textBytes = 64;
    limits.animationBytes = 300 << 10;  // the sample's Wave takes 288 KB
    const struct {
        const char* what;
        std::string bytes;
        Kind kind;
        std::size_t frames;
        const char* note;
    } cases[] = {
        {"the sample's Wave", SampleWave(), Kind::Animation, 8, ""},
        {"a PNG", SmallPng(), Kind::Image, 1, ""},
        {"a GIF of one frame", TinyGif(1), Kind::Image, 1, ""},
        {"a GIF at the frame cap", TinyGif(8), Kind::Animation, 8, ""},
        {"a GIF past the frame cap", TinyGif(9), Kind::Bytes, 0, "more than 8 frames"},
        {"frames past the animation's budget", TinyGif(2, 200, 200), Kind::Bytes, 0, "frames take more than"},
        {"an image claiming 65535 x 65535", ClaimedPng(65535, 65535), Kind::Bytes, 0, "65535 x 65535 pixels"},
        {"an image cut short", SmallPng().substr(0, 40), Kind::Bytes, 0, "cannot be read"},
        {"a chunk claiming more than the stream", SmallPng().substr(0, 33) + BigEndian32(1u << 30) + "tEXt",
         Kind::Bytes, 0, "a chunk at byte 33 claims 1073741824 bytes"},
        {"a definition", "Name=Tobin\r\nState=Resting:Idle\n", Kind::Text, 0, ""},
        {"UTF-8 beyond ASCII", "Name=T\xC3\xB6" "bin\n", Kind::Text, 0, ""},
        {"text with a NUL", std::string("Name=\0x", 7), Kind::Bytes, 0, ""},
        {"bytes that are not UTF-8", "Name=\xC3\x28", Kind::Bytes, 0, ""},
        {"text past the text cap", std::string(65, 'a'), Kind::Bytes, 0, ""},
    };
    for (const auto& c : cases) {
        const StreamContent content = ContentOf(c.bytes, limits);
        EXPECT_EQ(content.kind, c.kind) << c.what;
        EXPECT_EQ(content.frames.size(), c.frames) << c.what;
        EXPECT_TRUE(content.note.contains(c.note)) << c.what << ": " << content.note.toStdString();
        EXPECT_EQ(content.note.isEmpty(), *c.note == '\0') << c.what;
    }
}

TEST(StreamContent, WhatAStreamCostsStaysTheSameAsItsClaimGrows) {
    TempDir dir;
    ContentLimits limits;
    limits.frames = 100;
    limits.textBytes = 1 << 16;
    // A GIF's frames are counted by reading it once whole; nothing else is read past a cap.
    const struct {
        const char* what;
        std::function<std::string(int)> content;
        bool readOnce;
    } cases[] = {
        {"rows of bytes", [](int k) { return std::string(std::size_t(k) << 20, '\0'); }, false},
        {"frames past the cap", [](int k) { return TinyGif(2000 * k); }, true},
        {"pixels past the cap", [](int k) { return ClaimedPng(65535u * k, 65535); }, false},
    };
    for (const auto& c : cases) {
        std::vector<std::uint64_t> read;
        for (int k : {1, 2, 4}) {
            OneStream file(dir, c.content(k));
            StreamDevice device(file.stream);
            const StreamContent content = ReadStreamContent(device, limits);
            HexRows rows(file.stream, StreamSize(*file.stream.Get()));
            for (int row = 0; row < 40; ++row) rows.RowText(row);
            EXPECT_EQ(content.kind, Kind::Bytes) << c.what;
            const std::uint64_t once = c.readOnce ? StreamSize(*file.stream.Get()) : 0;
            read.push_back(device.BytesRead() + rows.BytesRead() - once);
        }
        EXPECT_EQ(read[0], read[1]) << c.what;
        EXPECT_EQ(read[0], read[2]) << c.what;
    }
}

class Viewer : public Window {
protected:
    // A character with a definition, the sample's Wave, bytes and a stream in a storage.
    void OpenSample() {
        CompoundFileWriter writer;
        writer.AddStream(CompoundFileWriter::kRoot, u"Character", "Name=Tobin\nState=Greeting:Wave\n");
        writer.AddStream(CompoundFileWriter::kRoot, u"Wave", SampleWave());
        const auto sub = writer.AddStorage(CompoundFileWriter::kRoot, u"Sub");
        writer.AddStream(sub, u"Inner", std::string("\0\1\2", 3) + "@ABCDEFGHIJKL NOPQRSTU");
        writer.SaveToFile(path);
        WriteStartFile("AvailAnim.txt", "Wave\r\n");
        Open(path);
    }
    std::vector<StreamViewer*> Viewers() { return Form().StreamViewers(); }
    StreamViewer* Activate(QAbstractItemView* list, int row) {
        list->setCurrentIndex(list->model()->index(row, 0));
        const auto before = Viewers().size();
        QTest::keyClick(list, Qt::Key_Return);
        const auto viewers = Viewers();
        return viewers.size() > before ? viewers.back() : nullptr;
    }
    std::string path = characterDir.File("Tobin.acs");
};

TEST_F(Viewer, AStreamLineOpensItsViewerAndNoOtherLineDoes) {
    OpenSample();
    const struct {
        int line;
        const char* title;  // empty: no viewer opens
        Kind kind;
    } lines[] = {
        {0, "", Kind::Bytes},
        {1, "", Kind::Bytes},
        {2, "Sub/Inner - Tobin.acs", Kind::Bytes},
        {3, "", Kind::Bytes},
        {4, "Wave - Tobin.acs", Kind::Animation},
        {5, "Character - Tobin.acs", Kind::Text},
        {6, "", Kind::Bytes},
    };
    ASSERT_EQ(Form().ListBox3->Count(), 7);
    for (const auto& l : lines) {
        const std::string line(Form().ListBox3->Lines()[l.line]);
        StreamViewer* viewer = Activate(Form().ListBox3, l.line);
        const bool opens = *l.title != '\0';
        ASSERT_EQ(viewer != nullptr, opens) << line;
        if (!viewer) continue;
        EXPECT_EQ(viewer->windowTitle().toStdString(), l.title) << line;
        EXPECT_EQ(viewer->Content().kind, l.kind) << line;
        EXPECT_TRUE(viewer->Note->text().isEmpty()) << viewer->Note->text().toStdString();
    }
    const HexRows& rows = Viewers().front()->Bytes->Rows();
    EXPECT_EQ(rows.RowText(0).toStdString(), "00000000  00 01 02 40 41 42 43 44  45 46 47 48 49 4A 4B 4C  ...@ABCDEFGHIJKL");
    EXPECT_EQ(rows.RowText(1).toStdString(), "00000010  20 4E 4F 50 51 52 53 54  55   NOPQRSTU");
    Form().Button1->click();
    StreamViewer* valid = Activate(Form().ListBox1, 0);
    ASSERT_NE(valid, nullptr);
    EXPECT_EQ(valid->windowTitle().toStdString(), "Wave - Tobin.acs");
    EXPECT_EQ(Viewers().size(), 4u);
    Form().close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(Viewers().empty());
    EXPECT_TRUE(prompts.errors.empty());
}

TEST_F(Viewer, AnAnimationStepsByKeySavesItsBytesAndClosesByEscape) {
    OpenSample();
    StreamViewer* viewer = Activate(Form().ListBox3, 4);
    ASSERT_NE(viewer, nullptr);
    QTest::keyClick(viewer->Picture, Qt::Key_Right);
    QTest::keyClick(viewer->Picture, Qt::Key_Right);
    EXPECT_EQ(viewer->FrameLabel->text().toStdString(), "frame 3 of 8");
    EXPECT_EQ(viewer->Picture->accessibleName().toStdString(), "animation Wave, frame 3 of 8");
    for (int i = 0; i < 3; ++i) QTest::keyClick(viewer->Picture, Qt::Key_Left);
    EXPECT_EQ(viewer->FrameText().toStdString(), "frame 8 of 8");
    EXPECT_EQ(viewer->Pause->text().toStdString(), "&Play");

    const std::string target = characterDir.File("wave.gif");
    const std::string character = ReadWholeFile(path);
    prompts.saveChoices = {target, std::nullopt, characterDir.File("no-folder/wave.gif"), path};
    for (int i = 0; i < 4; ++i) viewer->SaveAsButton->click();
    EXPECT_EQ(ReadWholeFile(target), SampleWave());
    EXPECT_EQ(ReadWholeFile(path), character);
    ASSERT_EQ(prompts.errors.size(), 2u);
    EXPECT_NE(prompts.errors[0].find("Cannot write the file " + characterDir.File("no-folder/wave.gif")),
              std::string::npos);
    EXPECT_NE(prompts.errors[1].find("it is the character file"), std::string::npos);

    QPointer<StreamViewer> closing = viewer;
    QTest::keyClick(viewer->Picture, Qt::Key_Escape);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(closing.isNull());
}

TEST_F(Viewer, AStreamThatCannotBeReadShowsTheReadersReason) {
    CompoundFileWriter writer;
    writer.AddStream(CompoundFileWriter::kRoot, u"Character", "Name=Tobin\n");
    writer.AddStream(CompoundFileWriter::kRoot, u"Anim0", std::string(20000, 'x'));
    const std::string sound = writer.SaveToBytes();
    const struct {
        const char* damage;
        std::string bytes;
        const char* note;
        bool opened;
    } damages[] = {
        {"a file cut short", sound.substr(0, sound.size() - 8192), "Cannot open the file ", false},
        {"streams sharing the directory's sectors", AnimationsInTheDirectory(30),
         "The stream cannot be read: Cannot read the stream at 0: the sector chain of ", true},
    };
    for (const auto& d : damages) {
        WriteFileAtomically(path, sound);
        Open(path);
        WriteFileAtomically(path, d.bytes);
        form->OpenStreamViewer({"Anim0"});
        StreamViewer* viewer = Viewers().back();
        EXPECT_TRUE(viewer->Note->text().startsWith(d.note)) << d.damage << ": " << viewer->Note->text().toStdString();
        EXPECT_EQ(viewer->SaveAsButton->isEnabled(), d.opened) << d.damage;
        EXPECT_EQ(viewer->Caption->text().endsWith("Size: unknown"), !d.opened) << d.damage;
        form.reset();
    }
}
