// The player as the desktop's media controls see it: the real program, on
// the offscreen platform and the null device, driven over the session bus
// that the test runs under.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusInterface>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>
#include <QUrl>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <thread>

#include "tests/network/loopback_server.h"
#include "tests/support/stream_builder.h"
#include "tests/support/tagged_files.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/qt_wait.h"

namespace {

const QString kService = QStringLiteral("org.mpris.MediaPlayer2.corvina");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kRoot = QStringLiteral("org.mpris.MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");
constexpr const char* kSample = CORVINA_SAMPLES_DIR "/corvina-sample.mp2";

bool WaitFor(const std::function<bool()>& fnCondition, int nTimeoutMs = 10000) {
    return WaitUntil(fnCondition, nTimeoutMs);
}

// The signals the player sends, as a desktop's applet would receive them.
class CSignalRecorder : public QObject {
    Q_OBJECT

  public:
    std::vector<qlonglong> m_seeked;
    QStringList m_changed;

  public slots:
    void OnSeeked(qlonglong nPosition) { m_seeked.push_back(nPosition); }
    void OnPropertiesChanged(const QString&, const QVariantMap& changed, const QStringList&) {
        m_changed << changed.keys();
    }
};

class MprisTest : public testing::Test {
  protected:
    void SetUp() override {
        if (!QDBusConnection::sessionBus().isConnected()) {
            GTEST_SKIP() << "no session bus: run under dbus-run-session";
        }
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("CORVINA_OUTPUT"), QStringLiteral("null"));
        for (const char* pszName : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
            environment.insert(QString::fromUtf8(pszName),
                               QString::fromStdString(m_dir.File(pszName)));
        }
        std::filesystem::create_directories(m_dir.File("XDG_RUNTIME_DIR"));
        std::filesystem::permissions(m_dir.File("XDG_RUNTIME_DIR"),
                                     std::filesystem::perms::owner_all);
        m_program.setProcessEnvironment(environment);
        m_program.setProcessChannelMode(QProcess::ForwardedChannels);
        m_program.start(QStringLiteral(CORVINA_EXECUTABLE), Arguments());
        ASSERT_TRUE(WaitFor([] {
            return QDBusConnection::sessionBus().interface()->isServiceRegistered(kService).value();
        })) << "the player never took its name";
    }

    // The files the player is started with.
    virtual QStringList Arguments() { return {QString::fromUtf8(kSample)}; }

    void TearDown() override {
        if (m_program.state() != QProcess::NotRunning) {
            m_program.kill();
            m_program.waitForFinished(5000);
        }
    }

    static QVariant Get(const QString& strInterface, const char* pszName) {
        QDBusInterface properties(kService, kPath,
                                  QStringLiteral("org.freedesktop.DBus.Properties"));
        const QDBusReply<QDBusVariant> reply =
            properties.call(QStringLiteral("Get"), strInterface, QString::fromUtf8(pszName));
        return reply.isValid() ? reply.value().variant() : QVariant();
    }
    static void Set(const char* pszName, const QVariant& value) {
        QDBusInterface properties(kService, kPath,
                                  QStringLiteral("org.freedesktop.DBus.Properties"));
        const QDBusMessage reply =
            properties.call(QStringLiteral("Set"), kPlayer, QString::fromUtf8(pszName),
                            QVariant::fromValue(QDBusVariant(value)));
        EXPECT_NE(reply.type(), QDBusMessage::ErrorMessage) << pszName;
    }
    static QString Status() { return Get(kPlayer, "PlaybackStatus").toString(); }
    static QString Title() { return Metadata().value("xesam:title").toString(); }
    static double Seconds() { return Get(kPlayer, "Position").toLongLong() / 1e6; }
    static QVariantMap Metadata() {
        return qdbus_cast<QVariantMap>(Get(kPlayer, "Metadata").value<QDBusArgument>());
    }
    static void Call(const char* pszMethod, const QVariantList& arguments = {}) {
        QDBusInterface player(kService, kPath, kPlayer);
        const QDBusMessage reply =
            player.callWithArgumentList(QDBus::Block, QString::fromUtf8(pszMethod), arguments);
        EXPECT_NE(reply.type(), QDBusMessage::ErrorMessage) << pszMethod;
    }
    static bool WaitForSeconds(double dLow, double dHigh) {
        return WaitFor([&] { return Seconds() >= dLow && Seconds() <= dHigh; });
    }

    // The sample's true length: its frames' samples, decoded to raw PCM.
    static double TrueLength() {
        QProcess decode;
        decode.start(QStringLiteral(CORVINA_EXECUTABLE),
                     {QStringLiteral("--raw"), QStringLiteral("-"), QString::fromUtf8(kSample)});
        decode.waitForFinished(30000);
        return static_cast<double>(decode.readAllStandardOutput().size()) / 4.0 / 44100.0;
    }

    CTempDir m_dir;
    QProcess m_program;
};

}  // namespace

TEST_F(MprisTest, TheDesktopsMediaControlsDriveThePlayer) {
    EXPECT_EQ(Get(kRoot, "Identity").toString(), QStringLiteral("Corvina"));
    EXPECT_EQ(Get(kRoot, "DesktopEntry").toString(), QStringLiteral("org.corvina.corvina"));
    EXPECT_EQ(Get(kRoot, "SupportedUriSchemes").toStringList(), QStringList{"file"});
    EXPECT_TRUE(Get(kRoot, "SupportedMimeTypes").toStringList().contains("audio/mp2"));
    EXPECT_FALSE(Get(kRoot, "SupportedMimeTypes").toStringList().contains("audio/mpeg"));
    EXPECT_EQ(Status(), QStringLiteral("Stopped"));
    EXPECT_EQ(Metadata().value("xesam:title").toString(), QStringLiteral("corvina-sample.mp2"));
    EXPECT_EQ(Metadata().value("xesam:url").toString(),
              QUrl::fromLocalFile(QString::fromUtf8(kSample)).toString());
    // Opened, not played: the length is there already, its frames counted.
    EXPECT_NEAR(Metadata().value("mpris:length").toLongLong() / 1e6, TrueLength(), 0.0005);

    CSignalRecorder recorder;
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.connect(kService, kPath, kPlayer, QStringLiteral("Seeked"), &recorder,
                            SLOT(OnSeeked(qlonglong))));
    ASSERT_TRUE(bus.connect(kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
                            QStringLiteral("PropertiesChanged"), &recorder,
                            SLOT(OnPropertiesChanged(QString, QVariantMap, QStringList))));

    // Playing: the position moves on with the sound.
    Call("PlayPause");
    ASSERT_TRUE(WaitFor([] { return Status() == QStringLiteral("Playing"); }));
    const double dStart = Seconds();
    WaitFor([] { return false; }, 1000);
    EXPECT_GT(Seconds(), dStart + 0.5);
    EXPECT_LT(Seconds(), dStart + 2.5);
    EXPECT_TRUE(recorder.m_changed.contains("PlaybackStatus"));
    // The first frame says 192 kbit/s, but this encoder pads no frame, so the
    // sample lasts 0.15 % (30 ms) longer than that rate makes it; a count of
    // its frames will make the length exact. A padded stream's is exact now
    // (below).
    const QVariantMap metadata = Metadata();
    EXPECT_NEAR(metadata.value("mpris:length").toLongLong() / 1e6, TrueLength(), 0.035);
    const QString strTrack = qvariant_cast<QDBusObjectPath>(metadata.value("mpris:trackid")).path();
    EXPECT_TRUE(strTrack.startsWith(QStringLiteral("/org/mpris/MediaPlayer2/")))
        << strTrack.toStdString();

    // Moves, absolute and relative, each told by Seeked.
    Call("SetPosition", {QVariant::fromValue(QDBusObjectPath(strTrack)), qlonglong(15000000)});
    EXPECT_TRUE(WaitForSeconds(14.7, 16.0)) << Seconds();
    EXPECT_TRUE(WaitFor([&] { return !recorder.m_seeked.empty(); }));
    Call("Seek", {qlonglong(-10000000)});
    EXPECT_TRUE(WaitForSeconds(4.6, 6.5)) << Seconds();

    // Paused, the position holds.
    Call("Pause");
    ASSERT_TRUE(WaitFor([] { return Status() == QStringLiteral("Paused"); }));
    const double dPaused = Seconds();
    WaitFor([] { return false; }, 500);
    EXPECT_EQ(Seconds(), dPaused);
    Call("Play");
    ASSERT_TRUE(WaitFor([] { return Status() == QStringLiteral("Playing"); }));

    // Stopped, back at the start.
    Call("Stop");
    ASSERT_TRUE(WaitFor([] { return Status() == QStringLiteral("Stopped"); }));
    EXPECT_TRUE(WaitForSeconds(0.0, 0.0)) << Seconds();
}

TEST_F(MprisTest, OpenUriPlaysTheFileAndQuitEndsTheProgram) {
    // 400 frames of 128 kbit/s at 48 kHz: 9.6 s, every frame the rate's size.
    CFrameShape shape;
    shape.nFrequencyIndex = 1;
    const std::string strOther = m_dir.Write("other piece.mp2", BuildStream(shape, 400));
    Call("OpenUri", {QUrl::fromLocalFile(QString::fromStdString(strOther)).toString()});
    EXPECT_TRUE(WaitFor([] {
        return Metadata().value("xesam:title").toString() == QStringLiteral("other piece.mp2") &&
               Status() == QStringLiteral("Playing");
    }));
    EXPECT_NEAR(Metadata().value("mpris:length").toLongLong() / 1e6, 400 * 1152 / 48000.0, 0.030);

    QDBusInterface root(kService, kPath, kRoot);
    root.call(QStringLiteral("Quit"));
    EXPECT_TRUE(m_program.waitForFinished(10000));
    EXPECT_EQ(m_program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(m_program.exitCode(), 0);
}

// A station on the loopback that answers as SHOUTcast does and sends the
// sample in real time with ICY metadata every 0.2 s: its title on air is
// "First" for three seconds, then "It's Second".
TEST_F(MprisTest, OpenUriPlaysAStationWhoseTitleFollowsTheTitleOnAir) {
    const std::vector<uint8_t> sample = ReadFileBytes(kSample);
    ASSERT_FALSE(sample.empty());
    std::atomic<int64_t> nSecondAtMs{0};
    QElapsedTimer clock;
    clock.start();
    CLoopbackServer station([&](int fd, int, const std::atomic<bool>& bStopping) {
        constexpr std::size_t kInterval = 4800;  // 0.2 s at 192 kbit/s
        if (!SendText(fd, "ICY 200 OK\r\nContent-Type: audio/mpeg\r\nicy-metaint: 4800\r\n\r\n")) {
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        std::size_t nAt = 0;
        for (int nBlock = 0; nBlock < 150 && !bStopping; ++nBlock) {
            std::vector<uint8_t> chunk;
            for (std::size_t i = 0; i < kInterval; ++i, nAt = (nAt + 1) % sample.size()) {
                chunk.push_back(sample[nAt]);
            }
            const bool bSecond = nBlock >= 15;
            if (bSecond && nSecondAtMs == 0) {
                nSecondAtMs = clock.elapsed();
            }
            std::string strMeta = bSecond ? "StreamTitle='It's Second';" : "StreamTitle='First';";
            strMeta.resize((strMeta.size() + 15) / 16 * 16, '\0');
            chunk.push_back(static_cast<uint8_t>(strMeta.size() / 16));
            chunk.insert(chunk.end(), strMeta.begin(), strMeta.end());
            if (!SendAll(fd, chunk.data(), chunk.size())) {
                return;
            }
            std::this_thread::sleep_until(start + std::chrono::milliseconds(200) * (nBlock + 1));
        }
    });
    Call("OpenUri", {QString::fromStdString(station.Address("/radio"))});
    EXPECT_TRUE(WaitFor([] { return Title() == QStringLiteral("First"); }));
    EXPECT_EQ(Metadata().value("xesam:url").toString(),
              QString::fromStdString(station.Address("/radio")));
    ASSERT_TRUE(WaitFor([&] { return nSecondAtMs != 0; }));
    EXPECT_TRUE(WaitFor([] { return Title() == QStringLiteral("It's Second"); }));
    EXPECT_LT(clock.elapsed() - nSecondAtMs, 2000);
    EXPECT_EQ(Status(), QStringLiteral("Playing"));
    EXPECT_FALSE(Get(kPlayer, "CanSeek").toBool());
}

namespace {

// Three files of 7.2 s on the command line, in an order their names do not
// have: the queue keeps the command line's.
class MprisQueueTest : public MprisTest {
  protected:
    QStringList Arguments() override {
        CFrameShape shape;
        shape.nFrequencyIndex = 1;
        QStringList files;
        for (const char* pszName : {"c.mp2", "a.mp2", "b.mp2"}) {
            files << QString::fromStdString(m_dir.Write(pszName, BuildStream(shape, 300)));
        }
        return files;
    }
    // The condition holds, and still does half a second later: a move
    // between entries passes through a stop.
    static bool WaitForSteady(const std::function<bool()>& fnCondition) {
        return WaitFor([&] {
            return fnCondition() && (WaitFor([] { return false; }, 500), true) && fnCondition();
        });
    }
    static void SeekNearTheEnd() {
        const QVariantMap metadata = Metadata();
        Call("SetPosition",
             {QVariant::fromValue(qvariant_cast<QDBusObjectPath>(metadata.value("mpris:trackid"))),
              metadata.value("mpris:length").toLongLong() - 500000});
    }
};

}  // namespace

TEST_F(MprisQueueTest, NextPreviousAndTheEndGoThroughTheFilesOfTheCommandLine) {
    EXPECT_EQ(Title(), QStringLiteral("c.mp2"));
    EXPECT_TRUE(Get(kPlayer, "CanGoNext").toBool());
    EXPECT_FALSE(Get(kPlayer, "CanGoPrevious").toBool());
    CSignalRecorder recorder;
    ASSERT_TRUE(QDBusConnection::sessionBus().connect(
        kService, kPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"), &recorder,
        SLOT(OnPropertiesChanged(QString, QVariantMap, QStringList))));

    // Stopped, Next opens the next file without playing it.
    Call("Next");
    Call("Next");
    ASSERT_TRUE(WaitFor([] { return Title() == QStringLiteral("b.mp2"); }))
        << Title().toStdString();
    EXPECT_EQ(Status(), QStringLiteral("Stopped"));
    EXPECT_FALSE(Get(kPlayer, "CanGoNext").toBool());
    EXPECT_TRUE(WaitFor([&] { return recorder.m_changed.contains("CanGoNext"); }));

    // Five seconds in, Previous starts the entry over; within three seconds
    // it goes to the one before, playing on.
    Call("Play");
    ASSERT_TRUE(WaitFor([] { return Seconds() >= 5.0; }, 15000)) << Seconds();
    Call("Previous");
    ASSERT_TRUE(WaitFor([] { return Seconds() < 2.0; })) << Seconds();
    EXPECT_EQ(Title(), QStringLiteral("b.mp2"));
    EXPECT_EQ(Status(), QStringLiteral("Playing"));
    Call("Previous");
    ASSERT_TRUE(WaitFor([] { return Title() == QStringLiteral("a.mp2"); }))
        << Title().toStdString();
    EXPECT_TRUE(WaitForSteady([] { return Status() == QStringLiteral("Playing"); }));

    // The end of an entry plays the next; the end of the last stops.
    SeekNearTheEnd();
    ASSERT_TRUE(WaitForSteady([] {
        return Title() == QStringLiteral("b.mp2") && Status() == QStringLiteral("Playing");
    }));
    SeekNearTheEnd();
    EXPECT_TRUE(WaitForSteady([] {
        return Title() == QStringLiteral("b.mp2") && Status() == QStringLiteral("Stopped");
    }));
    EXPECT_EQ(Get(kPlayer, "LoopStatus").toString(), QStringLiteral("None"));

    // Looped from the desktop: the list goes round from its last entry to
    // its first, the file from its end to its start, and None ends both.
    Set("LoopStatus", QStringLiteral("Playlist"));
    EXPECT_TRUE(WaitFor([] { return Get(kPlayer, "LoopStatus") == QStringLiteral("Playlist"); }));
    Call("Play");
    ASSERT_TRUE(WaitFor([] { return Status() == QStringLiteral("Playing"); }));
    SeekNearTheEnd();
    ASSERT_TRUE(WaitForSteady([] {
        return Title() == QStringLiteral("c.mp2") && Status() == QStringLiteral("Playing");
    })) << Title().toStdString();
    Set("LoopStatus", QStringLiteral("Track"));
    EXPECT_TRUE(WaitFor([] { return Get(kPlayer, "LoopStatus") == QStringLiteral("Track"); }));
    ASSERT_TRUE(WaitFor([] { return Seconds() >= 2.5; })) << Seconds();
    SeekNearTheEnd();
    ASSERT_TRUE(WaitFor([] { return Seconds() < 2.0; })) << Seconds();
    EXPECT_EQ(Title(), QStringLiteral("c.mp2"));
    EXPECT_EQ(Status(), QStringLiteral("Playing"));
    Set("LoopStatus", QStringLiteral("None"));
    Set("LoopStatus", QStringLiteral("Sometimes"));
    EXPECT_TRUE(WaitFor([] { return Get(kPlayer, "LoopStatus") == QStringLiteral("None"); }));
}

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

#include "mpris_test.moc"

namespace {

// A tagged file with a cover, then one with tags but no cover.
class MprisTagsTest : public MprisTest {
  protected:
    QStringList Arguments() override {
        WriteTaggedSample(m_dir.File("cover.mp2"), ETagKind::Id3v23, m_cover);
        WriteTaggedSample(m_dir.File("plain.mp2"), ETagKind::Id3v24);
        return {QString::fromStdString(m_dir.File("cover.mp2")),
                QString::fromStdString(m_dir.File("plain.mp2"))};
    }
    static QString CoverPath() {
        return QUrl(Metadata().value("mpris:artUrl").toString()).toLocalFile();
    }
    const std::vector<uint8_t> m_cover = MakeCover(3000);
};

}  // namespace

TEST_F(MprisTagsTest, TheTagsAndTheCoverReachTheMediaControls) {
    Call("Play");
    ASSERT_TRUE(WaitFor([] { return !Metadata().value("mpris:artUrl").toString().isEmpty(); }));
    const QVariantMap metadata = Metadata();
    const QString strTitle = QString::fromStdString(TaggedTitle(ETagKind::Id3v23));
    EXPECT_EQ(metadata.value("xesam:title").toString(), strTitle);
    EXPECT_EQ(metadata.value("xesam:artist").toStringList(),
              QStringList{QString::fromStdString(TaggedArtist(ETagKind::Id3v23))});
    EXPECT_EQ(metadata.value("xesam:album").toString(), QStringLiteral("First Album"));
    EXPECT_EQ(metadata.value("xesam:trackNumber").toInt(), 4);
    EXPECT_EQ(metadata.value("xesam:genre").toStringList(), QStringList{"Folk"});
    EXPECT_EQ(metadata.value("xesam:comment").toStringList(), QStringList{"Recorded live"});
    EXPECT_EQ(metadata.value("xesam:contentCreated").toString(), QStringLiteral("1997"));
    const std::string strCover = CoverPath().toStdString();
    EXPECT_EQ(ReadFileBytes(strCover), m_cover);

    Call("Next");
    ASSERT_TRUE(
        WaitFor([] { return Title() == QString::fromStdString(TaggedTitle(ETagKind::Id3v24)); }));
    EXPECT_EQ(Metadata().value("xesam:artist").toStringList(), QStringList{"The Players"});
    EXPECT_EQ(Metadata().value("mpris:artUrl").toString(), QString());
    EXPECT_FALSE(std::filesystem::exists(strCover));
}

namespace {

// A transport stream without titles, named by its service.
class MprisServiceTest : public MprisTest {
  protected:
    QStringList Arguments() override {
        const std::string strFile = m_dir.File("radio.ts");
        const std::string strMake = "ffmpeg -v error -i '" + std::string(kSample) +
                                    "' -c copy -metadata service_name=Radio -metadata "
                                    "service_provider=Corvina '" +
                                    strFile + "'";
        m_bMade = std::system(strMake.c_str()) == 0;
        return {QString::fromStdString(strFile)};
    }
    bool m_bMade = false;
};

}  // namespace

TEST_F(MprisServiceTest, TheServiceNameIsTheTitle) {
    if (!m_bMade) {
        GTEST_SKIP() << "ffmpeg made no transport stream";
    }
    Call("Play");
    EXPECT_TRUE(WaitFor([] { return Title() == QStringLiteral("Radio"); }))
        << Title().toStdString();
}
