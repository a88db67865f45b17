#include "AppHarness.h"
#include "widgets/SortedListBox.h"
#include "imaging/Jpeg.h"
#include "support/JpegEncode.h"
#include "support/Controls.h"

#include <QTest>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

using plimbury::test::control;

namespace plimbury::test {

AppHarness::AppHarness()
    : store(makeFileStore(dir.file("registry")))
{
    if (const char* config = std::getenv("XDG_CONFIG_HOME"))
        m_savedConfigHome = config;
    setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
    services.store = store.get();
    services.clock = &clock;
    services.executablePath = "/opt/plimbury test/bin/plimbury";
    services.executableFolder = "/opt/plimbury test/bin";
    services.dataFolder = dir.file("data");
    // A connection name never opened: no desktop notification from a window
    // test reaches the desktop the tests run on.
    services.notificationBus = QStringLiteral("plimbury-tests-no-bus");
}

AppHarness::~AppHarness()
{
    screensaver.reset();
    wall.reset();
    form.reset();
    setenv("XDG_CONFIG_HOME", m_savedConfigHome.c_str(), 1);
}

std::string AppHarness::writeBitmap(const std::string& name)
{
    const std::string path = dir.file(name);
    writeGreyBitmap(path);
    return path;
}

void AppHarness::markLaterRun(const std::string& selected)
{
    auto key = store->openKey(Root::LocalMachine, kProgramKey);
    ASSERT_TRUE(key);
    key->write(kSelectedValue, selected);
}

void AppHarness::useStore(std::unique_ptr<Store> replacement)
{
    store = std::move(replacement);
    services.store = store.get();
}

TForm1& AppHarness::start(const QStringList& arguments)
{
    services.arguments = arguments;
    form = std::make_unique<TForm1>(services);
    wall = std::make_unique<Twall>(form.get(), control<SortedListBox>(*form, "FileListBox1"));
    screensaver = std::make_unique<Tscreensaver>(form.get(), control<SortedListBox>(*form, "FileListBox2"));
    wall->setPartner(screensaver.get());
    screensaver->setPartner(wall.get());
    form->setEditors(wall.get(), screensaver.get());
    return *form;
}

void AppHarness::showWindow()
{
    form->move(0, 0);
    form->show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
}

std::string AppHarness::readValue(const char* keyPath, const char* name)
{
    if (!store->keyExists(Root::LocalMachine, keyPath))
        return "<no key>";
    auto key = store->openKey(Root::LocalMachine, keyPath);
    return key ? key->read(name) : "<not opened>";
}

} // namespace plimbury::test
