// The input pump hands short messages from a driver thread to the thread it
// lives on, in arrival order, and stays quiet once closed.
#include "../support/FakeBackend.h"

#include "midi/io/MidiInputPump.h"
#include "player/engine/PortSink.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <future>
#include <thread>

using namespace quillon;
using namespace quillon::midi;
using quillon::testing::FakeBackend;

namespace {

class InputPump : public ::testing::Test {
protected:
    int argc = 1;
    char name[8] = "pump";
    char* argv[1] = {name};
    QCoreApplication app{argc, argv};
    FakeBackend* fake = nullptr;
    std::unique_ptr<MidiSystem> system;
    std::unique_ptr<MidiInputPump> pump;
    std::vector<quint32> received;
    bool allOnMainThread = true;

    InputPump()
    {
        std::vector<std::unique_ptr<Backend>> backends;
        fake = static_cast<FakeBackend*>(backends.emplace_back(std::make_unique<FakeBackend>("Fake")).get());
        fake->m_inputs = {"keyboard"};
        fake->m_outputs = {"keyboard"};
        system = std::make_unique<MidiSystem>(std::move(backends));
        pump = std::make_unique<MidiInputPump>(*system);
        QObject::connect(pump.get(), &MidiInputPump::shortMessage, pump.get(), [this](quint32 packed) {
            received.push_back(packed);
            allOnMainThread &= QThread::currentThread() == QCoreApplication::instance()->thread();
        });
    }
    PortChoice input() const { return system->choiceForIndex(0, Direction::Input); }
};

} // namespace

// Messages posted but not yet handled when the pump closes never arrive.
TEST_F(InputPump, DeliversEveryMessageInOrderOnItsOwnThreadAndNothingAfterClose)
{
    ASSERT_TRUE(pump->open(input()));

    constexpr quint32 count = 5000;
    std::thread driver([fake = fake] {
        for (quint32 i = 0; i < count; ++i)
            fake->inject(0x90 | (i << 8));
    });
    const bool all = QTest::qWaitFor([&] { return received.size() == count; }, 10000);
    driver.join();
    ASSERT_TRUE(all) << received.size() << " of " << count;
    for (quint32 i = 0; i < count; ++i)
        ASSERT_EQ(received[i], 0x90 | (i << 8)) << "message " << i;
    EXPECT_TRUE(allOnMainThread);

    for (int i = 0; i < 10; ++i)
        fake->inject(0x3690);
    pump->close();
    pump->close();
    EXPECT_FALSE(pump->isOpen());
    fake->inject(0x3690);
    QTest::qWait(50);
    EXPECT_EQ(received.size(), count);
}

// Closing a JACK port can wait seconds for the server: the window's thread
// leaves it to another, for the pump's input, a transfer's output and the player's.
TEST_F(InputPump, PortsAreClosedOffTheCallersThread)
{
    const std::function<void()> closes[] = {
        [&] {
            ASSERT_TRUE(pump->open(input()));
            pump->close();
        },
        [&] { system->closeLater(system->openOutput(system->choiceForIndex(0, Direction::Output))); },
        [&] {
            const player::PortSink sink(system->openOutput(system->choiceForIndex(0, Direction::Output)), system.get());
        },
    };
    for (const auto& close : closes) {
        std::promise<std::thread::id> closedOn;
        fake->onClose = [&closedOn] { closedOn.set_value(std::this_thread::get_id()); };
        close();
        auto closer = closedOn.get_future();
        ASSERT_EQ(closer.wait_for(std::chrono::seconds(10)), std::future_status::ready);
        EXPECT_NE(closer.get(), std::this_thread::get_id());
    }
}
