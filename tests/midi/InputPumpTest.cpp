// The input pump hands short messages from a driver thread to the thread it
// lives on, in arrival order, and stays quiet once closed.
#include "FakeBackend.h"

#include "midi/io/MidiInputPump.h"
#include "midi/io/VirtualKeyboard.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <thread>

using namespace quillon;
using namespace quillon::midi;
using midi::testing::FakeBackend;

namespace {

struct App {
    int argc = 1;
    char name[8] = "pump";
    char* argv[1] = {name};
    QCoreApplication app{argc, argv};
};

struct Received {
    std::vector<quint32> messages;
    bool allOnMainThread = true;
};

std::unique_ptr<MidiSystem> fakeSystem(FakeBackend** fake)
{
    std::vector<std::unique_ptr<Backend>> backends;
    backends.push_back(std::make_unique<VirtualKeyboard>());
    auto backend = std::make_unique<FakeBackend>("Fake");
    backend->m_inputs = {"keyboard"};
    *fake = backend.get();
    backends.push_back(std::move(backend));
    return std::make_unique<MidiSystem>(std::move(backends));
}

class InputPump : public ::testing::Test {
protected:
    App app;
    FakeBackend* fake = nullptr;
    std::unique_ptr<MidiSystem> system = fakeSystem(&fake);
    MidiInputPump pump{*system};
    Received received;

    InputPump()
    {
        QObject::connect(&pump, &MidiInputPump::shortMessage, &pump, [this](quint32 packed) {
            received.messages.push_back(packed);
            received.allOnMainThread &= QThread::currentThread() == QCoreApplication::instance()->thread();
        });
    }
    PortChoice input() const { return system->choiceForIndex(1, Direction::Input); }
};

} // namespace

TEST_F(InputPump, DeliversEveryMessageInOrderOnItsOwnThread)
{
    ASSERT_TRUE(pump.open(input()));

    constexpr quint32 count = 5000;
    std::thread driver([fake = fake] {
        for (quint32 i = 0; i < count; ++i)
            fake->inject(0x90 | (i << 8));
    });
    const bool all = QTest::qWaitFor([&] { return received.messages.size() == count; }, 10000);
    driver.join();
    ASSERT_TRUE(all) << received.messages.size() << " of " << count;
    for (quint32 i = 0; i < count; ++i)
        ASSERT_EQ(received.messages[i], 0x90 | (i << 8)) << "message " << i;
    EXPECT_TRUE(received.allOnMainThread);
}

TEST_F(InputPump, NothingArrivesAfterCloseAndClosingTwiceIsHarmless)
{
    ASSERT_TRUE(pump.open(input()));
    for (int i = 0; i < 10; ++i)
        fake->inject(0x3690); // posted, not yet handled
    pump.close();
    pump.close();
    EXPECT_FALSE(pump.isOpen());
    fake->inject(0x3690);
    QTest::qWait(50);
    EXPECT_TRUE(received.messages.empty());

    // The same pump opens again and works.
    ASSERT_TRUE(pump.open(input()));
    fake->inject(0x3790);
    EXPECT_TRUE(QTest::qWaitFor([&] { return received.messages.size() == 1; }, 2000));
    EXPECT_EQ(received.messages.at(0), 0x3790u);
}
