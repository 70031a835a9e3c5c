// Choosing a cable in the Linux program: its settings file, its forms, and its default.
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "app/CableChoice.h"
#include "app/CableOptions.h"
#include "cable/cable.h"
#include "recording_port.h"
#include "settings_examples.h"

namespace {

CommandLine Parsed(const char* pszLine)
{
    CommandLine options;
    std::string strError;
    EXPECT_TRUE(ParseCommandLine(pszLine, options, strError)) << strError;
    return options;
}

class LinuxChoiceTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        char folder[] = "/tmp/morva-config-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(folder));
        m_folder = folder;
        mkdir((m_folder + "/morva").c_str(), 0700);
        setenv("XDG_CONFIG_HOME", m_folder.c_str(), 1);
    }
    void TearDown() override
    {
        unlink((m_folder + "/morva/morva.ini").c_str());
        rmdir((m_folder + "/morva").c_str());
        rmdir(m_folder.c_str());
        unsetenv("XDG_CONFIG_HOME");
    }
    void WriteSettings(const char* pszText) { std::ofstream(m_folder + "/morva/morva.ini") << pszText; }

    std::string m_folder;
};

// The profile calls reach the Linux file through the Windows path Wine gives for it.
TEST_F(LinuxChoiceTest, ReadsTheCableAndPinMapFromTheConfigFolder)
{
    WriteSettings("[cable]\ncable=ftdi:MV2232/B\n[ftdi]\ntck=4\n");
    CableName cable;
    FtdiPinMap map;
    std::string strError;
    ASSERT_TRUE(ResolveCable(CommandLine(), SettingsPath(), cable, map, strError)) << strError;
    EXPECT_EQ(CableKind::Ftdi, cable.kind);
    EXPECT_EQ("MV2232", cable.serial);
    EXPECT_EQ(4, map.nTck);
    EXPECT_EQ(m_folder + "/morva/morva.ini", ShownPath(SettingsPath())) << "messages name the Linux file";
    CCableChoice cables(SettingsPath());
    ASSERT_TRUE(cables.Start(CommandLine(), strError)) << strError;
    EXPECT_EQ("FTDI cable MV2232 channel B (libftdi)", cables.Cable().Description());
}

TEST_F(LinuxChoiceTest, APortIsADeviceFileNotAnAddress)
{
    std::string strError;
    CCableChoice cables(SettingsPath());
    ASSERT_TRUE(cables.Start(Parsed("--cable lpt:/dev/parport3"), strError)) << strError;
    EXPECT_EQ("parallel port /dev/parport3 (ppdev)", cables.Cable().Description());

    // No port here has that address (this machine's kernel lists none).
    CCableChoice refused(SettingsPath());
    EXPECT_FALSE(refused.Start(Parsed("--cable lpt:0xD010"), strError));
    EXPECT_NE(std::string::npos, strError.find("No parallel port of this computer has the address 0xD010")) << strError;
    EXPECT_NE(std::string::npos, strError.find("lpt:DEVICE\ta parallel port by its ppdev device file")) << strError;
    EXPECT_NE(std::string::npos, strError.find("~/.config/morva/morva.ini")) << strError;

    CCableChoice sim(SettingsPath());
    ASSERT_TRUE(sim.Start(Parsed("--cable=sim"), strError)) << strError;
    EXPECT_EQ("simulated board", sim.Cable().Description());
}

// Chosen in the window: kept in the config file; one that cannot be opened leaves the old in use.
TEST_F(LinuxChoiceTest, AChosenCableIsKeptAndOneThatCannotBeOpenedLeavesTheOldInUse)
{
    std::string strError;
    CCableChoice cables(SettingsPath());
    ASSERT_TRUE(cables.Start(Parsed("--cable=sim"), strError)) << strError;
    EXPECT_FALSE(cables.Use("lpt:/dev/morva-no-such-port", strError));
    EXPECT_NE(std::string::npos, strError.find("simulated board stays in use")) << strError;
    EXPECT_NE(std::string::npos, strError.find("/dev/morva-no-such-port")) << strError;
    EXPECT_EQ("simulated board", cables.Cable().Description());
    EXPECT_FALSE(cables.Use("lpt:0xD010", strError)) << "no port here has that address";

    ASSERT_TRUE(cables.Use("sim", strError)) << strError;
    std::ifstream file(m_folder + "/morva/morva.ini");
    const std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_NE(std::string::npos, text.find("cable=sim")) << text;
}

// A new user's home has no config folder: the choice made in the window is kept all the same,
// in folders for the user alone, and a file that cannot be written is said.
TEST_F(LinuxChoiceTest, AChoiceIsKeptFromAHomeWithoutAConfigFolderAndAFailedWriteIsSaid)
{
    const std::string strHome = m_folder + "/home";
    setenv("XDG_CONFIG_HOME", (strHome + "/.config").c_str(), 1);
    std::string strError;
    {
        CCableChoice cables(SettingsPath());
        ASSERT_TRUE(cables.Start(Parsed("--cable=sim"), strError)) << strError;
        ASSERT_TRUE(cables.Use("sim", strError));
        EXPECT_EQ("", strError);
    }
    struct stat info = {};
    ASSERT_EQ(0, stat((strHome + "/.config/morva").c_str(), &info));
    EXPECT_EQ(0700u, info.st_mode & 0777u);
    EXPECT_EQ("sim", SettingsCable(SettingsPath()));
    unlink((strHome + "/.config/morva/morva.ini").c_str());
    rmdir((strHome + "/.config/morva").c_str());

    // A file where the folder should be: nothing can be written there, not even by root.
    std::ofstream(strHome + "/.config/morva") << "not a folder";
    CCableChoice cables(SettingsPath());
    ASSERT_TRUE(cables.Start(Parsed("--cable=sim"), strError)) << strError;
    EXPECT_TRUE(cables.Use("sim", strError)) << "the cable is in use even so";
    EXPECT_NE(std::string::npos, strError.find("could not be written")) << strError;
    EXPECT_NE(std::string::npos, strError.find("not start with it next time")) << strError;
    unlink((strHome + "/.config/morva").c_str());
    rmdir((strHome + "/.config").c_str());
    rmdir(strHome.c_str());
}

// The guides' settings examples, copied as they stand into the config file, as start-up reads them.
TEST_F(LinuxChoiceTest, EveryExampleOfTheGuidesIsReadAsItStands)
{
    int nTried = 0;
    for (const SettingsExample& example : SettingsExamples(MORVA_SOURCE_DIR))
    {
        // Port addresses are the Windows program's.
        if (example.strText.find("lpt:0x") != std::string::npos)
            continue;
        WriteSettings(example.strText.c_str());
        CableName cable;
        FtdiPinMap map;
        std::string strError;
        EXPECT_TRUE(ResolveCable(CommandLine(), SettingsPath(), cable, map, strError)) << example.strWhere << ": "
                                                                                       << strError;
        EXPECT_TRUE(ReadFtdiSettings(SettingsPath(), map, strError)) << example.strWhere << ": " << strError;
        ++nTried;
    }
    EXPECT_GE(nTried, 3);
}

TEST_F(LinuxChoiceTest, WithNothingChosenTheFirstParallelPortOrAListOfChoices)
{
    std::string strError;
    CCableChoice cables(SettingsPath());
    const bool bChosen = cables.Start(CommandLine(), strError);
    if (access("/dev/parport0", F_OK) == 0)
    {
        ASSERT_TRUE(bChosen) << strError;
        EXPECT_EQ("parallel port /dev/parport0 (ppdev)", cables.Cable().Description());
    }
    else
    {
        EXPECT_FALSE(bChosen);
        EXPECT_NE(std::string::npos, strError.find("this computer has no parallel port /dev/parport0")) << strError;
        EXPECT_NE(std::string::npos, strError.find("morva --cable sim")) << strError;
        // Opened on the simulated board instead, the title names the port as the box did.
        cables.UseSimulatedBoard();
        EXPECT_EQ("parallel port /dev/parport0 could not be opened", cables.Note());
    }
}

} // namespace
