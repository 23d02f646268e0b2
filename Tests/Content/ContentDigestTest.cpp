// The files the generator writes byte by byte itself (scenes, objects, links,
// properties, texts) are the same from every build, so a change of compiler
// cannot change the show. The fuzz build (clang) runs this too. Files that
// pass through an outside encoder (PNG, JPEG, the music, the video) and the
// copied font are left out. After a deliberate change of the content, take
// the new digests from `sha256sum` in a generated folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "Tests/Support/TempDir.h"
#include "Tools/Content/ContentWriter.h"

namespace {

const std::map<std::string, std::string> expectedDigests = {
    // clang-format off
    {"admin.txt", "fef72ce60c2896f1a643f9609e7d5684ad73c8dbfe0f0a8f6bda98260311be82"},
    {"data/Models/AgentFollow.lwo", "dd6c87335a8b9fee24051a0f10f6580800f8816085d21094330dab3ee87eca66"},
    {"data/Models/AgentFollow.sce", "c57cd7e3f0696bf2f54b8127750b1cd68a49ba13b5f4bff9addf0d1b9a060d53"},
    {"data/Models/CubemapBox.lwo", "a01ea346b91bff4e387f91086fb26391cd1986944863ebe05b6ab87a53d869bf"},
    {"data/Models/Cubevator.lwo", "405d3db3b4f059f3b2761c933f99988181d955ae349b3264eb50b073dfe0078b"},
    {"data/Models/Cubevator.sce", "2825365467ed92f5cc2f6a5804c5b71796e83f71aa22f11b575cbf2d2e4586ae"},
    {"data/Models/Portal.lwo", "164baff879bc6726ee43f5bbf276e77e3239c26cb5e5d5016b0c062e05dd8f88"},
    {"data/Models/admin.lwo", "b813f8c3707cd0c82c1f4ad03a95209ed64a9056453e65cefd5346267d43eb6e"},
    {"data/Models/admineffect.sce", "29a53263288a906222cff63f57d815381e28c1663391238e9990ea4c4feb176c"},
    {"data/Models/box4.lwo", "59b05a462cbeee1abf8f53d0543d58b457f9fbad9dab2793932782477426e723"},
    {"data/Models/con2.sce", "33ce6c5513a960d2150e7d371484cddb27efc7c6ff62fffa08521383057bc1bb"},
    {"data/Models/con3.lwo", "db45452f4b93316008e986cd6853b28d06158c9e29f7e141cfd4d648d06fb375"},
    {"data/Models/hax1.sce", "c58e576f45f67813cb16293b4b7c8feaf27cb2990e785ba7d24e03ca1ad1b8c8"},
    {"data/Models/itree.lwo", "bc07c25a3689193360bd3902575caf49237f2059ac0f45227c43bfe44ceb2f90"},
    {"data/Models/linkband.lwo", "0e8471ed8e0fdb310d51764f97421749743041e416d7c45ddb3cc66ec8d8cdd2"},
    {"data/Models/linkframe.lwo", "054e396ae0e9b8ba6fa24de65969f960bd7ec8f94c7e78f88a3b22a6b52e2cc5"},
    {"data/Models/linkmarker.lwo", "2cfb80c6c669c9d21ce6f7f7d9db7f28801fb91665d9dae0d11897e6c4cfd04b"},
    {"data/Models/mapeffect1.sce", "1252a3f9e24066edc92196b46b5ebe0d41e1e7b7901a02504ec8b10baa758b10"},
    {"data/Models/mapeffect2-2.sce", "028c7deea95c4259506ea82d361504061d54fb3facbb2b1ec537a21b7b6e8118"},
    {"data/Models/mapeffect3.sce", "c00e2c2d8f56fbac8b8e018b96b3ce08014682212e8961476d08d64f389c2a0e"},
    {"data/Models/mapeffect4.sce", "923b32975dd5e5287ed043bb1f6075de69ba7fb9d1a3d5822ac7175d75716bcd"},
    {"data/Models/mapeffect5-2.sce", "ad2a76d1570f5fdcf3befe02eb7feb7574041baf9ad08e0b43c7df9bad73aea6"},
    {"data/Models/mapeffect5.sce", "57ff417108261ca3b2374496f41a0a176094280610a5839c2e0023561bd105a7"},
    {"data/Models/mapground.lwo", "61910bc8153a3c7582404dfe65bae0ce49c29b6e5d5b566f4459c62acdfad4e5"},
    {"data/Models/muuri.lwo", "c129d8f54b4ce483e2811b7fce453488fce4111f7576e9a90794cc489721fdc8"},
    {"data/Models/pallokuutio2.lwo", "fc5fcda3f4707e34733b1b61c80b669528da76fc394df566e798300be0e37f37"},
    {"data/Models/portti.lwo", "1f6c77ef0979719ed8be5f5a1f9b73d4ef8d054e12921d1e3efda1ff8ad1bcc1"},
    {"data/Models/quad.lwo", "035539b6e4b304965363befa3d187d6b37fc953914f1bfd815353c8817c564e2"},
    {"data/Models/spikey.lwo", "a854834ee9d960f7f8f9aa276f79c2aa78da32f01da6c2b4b998e3f9d1264b9d"},
    {"data/Models/terminaali2-4.lwo", "96ee269b1ecea43b311387af8ee997bedc0a8261192d136164be45de20e24c23"},
    {"data/Textures/adminFrame.svg", "165fdfde6970ecf1132b1968e9e09249c12aa11c912c5eda906fd4143a0418fa"},
    {"data/Textures/mainUIFrame.svg", "34a0967b2f04d138c567a9b86faaa38d7e1452c2e778d751a240f138eed3011f"},
    {"demo.props", "dbfe8ec3fae5faee9e70802338ffa566d9d924e6d09b92422c30bc488ac2f9a2"},
    {"mapeffect1.links", "ac3c2a5527628121d8c6658bbc842249fc2fb1a5cd87112a0a857ff4e7f53414"},
    {"mapeffect2.links", "1fe938010a65691c77f96af9756a667d36935a4c2c7d9d127ed2b391b002625f"},
    {"mapeffect2.txt", "12d8881066cecc523af8c7f5fd36a1ca151f0db865092dada5542d828472782b"},
    {"mapeffect3.links", "fd05af9322d0ccc4fbd8c44d61162c7b2239965cf4cbb44b6831c63dc8258225"},
    {"mapeffect4.links", "af08bac590c9291da001326b5aef51b3601cd0005379c73cd9fd2aaaced6c9cc"},
    {"mapeffect5-2.links", "d5e2a75fdba71666e7695d26730f3960e5b826a546f0ceb53b19f2f7c96d05ac"},
    {"mapeffect5.links", "afc37e37b3c5589feaf54826a1599389a6ac6ceec5e0d411cc598e32fea36a00"},
    {"mapeffect5.txt", "549bd55e689d101effab8833e1f7ad02f5fce315813708fc11005643be3966d7"},
    {"pings", "45685b903658bfd35479ef73ceb55f3427a74d40f10cb9bfe2dd03ef669f64ad"},
    {"test2.txt", "f12a482371a717d44b321ed749a6c5bf79d484f6acdb7df0117b9ed92a2c9361"},
    // clang-format on
};

bool writtenByUs(const std::filesystem::path& path)
{
    const std::string extension = path.extension().string();
    const std::string name = path.filename().string();
    return extension == ".sce" || extension == ".lwo" || extension == ".links" || extension == ".txt" ||
           extension == ".svg" || name == "demo.props" || name == "pings";
}

// sha256sum's digests of the files below root that we write ourselves.
std::map<std::string, std::string> digestsBelow(const std::string& root)
{
    std::string command = "cd '" + root + "' && sha256sum --";
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
        if (entry.is_regular_file() && writtenByUs(entry.path()))
            command += " '" + std::filesystem::relative(entry.path(), root).string() + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), &pclose);
    std::map<std::string, std::string> digests;
    char line[4096];
    while (pipe && std::fgets(line, sizeof line, pipe.get())) {
        std::istringstream fields(line);
        std::string digest, name;
        fields >> digest >> name;
        digests[name] = digest;
    }
    return digests;
}

TEST(ContentDigests, OurOwnFilesAreTheSameFromEveryBuild)
{
    VostrelTest::TempDir folder;
    testing::internal::CaptureStdout(); // the generator names each writer
    Vostrel::Content::writeAllContent(folder.path);
    testing::internal::GetCapturedStdout();
    const std::map<std::string, std::string> digests = digestsBelow(folder.path);
    EXPECT_GT(digests.size(), 40u);
    for (const auto& [name, digest] : expectedDigests) {
        const auto found = digests.find(name);
        EXPECT_EQ(found == digests.end() ? "(missing)" : found->second, digest) << name;
    }
    for (const auto& entry : digests)
        EXPECT_EQ(expectedDigests.count(entry.first), 1u) << entry.first << " is not in the table";
    if (HasFailure()) {
        std::ostringstream table;
        for (const auto& [name, digest] : digests)
            table << "    {\"" << name << "\", \"" << digest << "\"},\n";
        ADD_FAILURE() << "the digests of this build:\n" << table.str();
    }
}

} // namespace
