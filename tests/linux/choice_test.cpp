// Choosing a cable in the Linux program: its settings file, its forms, and its default.
#include <cstdlib>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "app/CableChoice.h"
#include "app/CableOptions.h"
#include "cable/cable.h"

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
    CableSpec cable;
    FtdiPinMap map;
    std::string strError;
    ASSERT_TRUE(ResolveCable(CommandLine(), SettingsPath(), cable, map, strError)) << strError;
    EXPECT_EQ(CableKind::Ftdi, cable.kind);
    EXPECT_EQ("MV2232", cable.serial);
    EXPECT_EQ(4, map.nTck);
    EXPECT_EQ(m_folder + "/morva/morva.ini", ShownPath(SettingsPath())) << "messages name the Linux file";
    ASSERT_TRUE(ChooseCable(CommandLine(), strError)) << strError;
    EXPECT_EQ("FTDI cable MV2232 channel B (libftdi)", BuildPort().Description());
}

TEST_F(LinuxChoiceTest, APortIsADeviceFileNotAnAddress)
{
    std::string strError;
    ASSERT_TRUE(ChooseCable(Parsed("--cable lpt:/dev/parport3"), strError)) << strError;
    EXPECT_EQ("parallel port /dev/parport3 (ppdev)", BuildPort().Description());

    EXPECT_FALSE(ChooseCable(Parsed("--cable lpt:0xD010"), strError));
    EXPECT_NE(std::string::npos, strError.find("give the port as in lpt:/dev/parport0")) << strError;
    EXPECT_NE(std::string::npos, strError.find("lpt:DEVICE\ta parallel port by its ppdev device file")) << strError;
    EXPECT_NE(std::string::npos, strError.find("~/.config/morva/morva.ini")) << strError;

    ASSERT_TRUE(ChooseCable(Parsed("--cable=sim"), strError)) << strError;
    EXPECT_EQ("simulated board", BuildPort().Description());
}

TEST_F(LinuxChoiceTest, WithNothingChosenTheFirstParallelPortOrAListOfChoices)
{
    std::string strError;
    const bool bChosen = ChooseCable(CommandLine(), strError);
    if (access("/dev/parport0", F_OK) == 0)
    {
        ASSERT_TRUE(bChosen) << strError;
        EXPECT_EQ("parallel port /dev/parport0 (ppdev)", BuildPort().Description());
    }
    else
    {
        EXPECT_FALSE(bChosen);
        EXPECT_NE(std::string::npos, strError.find("this computer has no parallel port /dev/parport0")) << strError;
        EXPECT_NE(std::string::npos, strError.find("morva --cable sim")) << strError;
    }
}

} // namespace
