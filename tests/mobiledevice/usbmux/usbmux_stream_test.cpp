// libplovik-usbmux's streams of AFC requests in flight against the AFC stand-in: file information,
// whole files read and written and parts of files, also from a device that refuses requests sent
// ahead (/Busy) or answers them out of order (/Unordered).
#include "usbmuxfixtures.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

struct StreamAnswer {
    int result = -1;
    std::string size;
    int times = 0;
};

// Asks for the information of folder/0 … folder/(count-1) and folder/missing in one stream.
std::vector<StreamAnswer> infoStream(AFCConnectionRef afc, const std::string& folder, int count,
                                     int* result) {
    std::vector<std::string> paths;
    for (int index = 0; index < count; ++index)
        paths.push_back(folder + "/" + std::to_string(index));
    paths.push_back(folder + "/missing");
    std::vector<const char*> asked;
    for (const std::string& path : paths)
        asked.push_back(path.c_str());
    std::vector<StreamAnswer> answers(paths.size());
    *result = MD(AFCFileInfoStream)(
        afc, asked.data(), asked.size(),
        [](void* context, size_t index, int answered, AFCDictionaryRef info) {
            StreamAnswer& answer = (*static_cast<std::vector<StreamAnswer>*>(context))[index];
            answer.result = answered;
            ++answer.times;
            char* key = nullptr;
            char* value = nullptr;
            while (info != nullptr && MD(AFCKeyValueRead)(info, &key, &value) == 0 &&
                   key != nullptr) {
                if (std::string(key) == "st_size")
                    answer.size = value;
            }
        },
        &answers);
    return answers;
}

class AfcStreamTest : public AfcTest {
protected:
    // count files in folder, each as long as its name's number.
    void makeFiles(const std::string& folder, int count) {
        ASSERT_EQ(0, MD(AFCDirectoryCreate)(afc_, folder.c_str()));
        for (int index = 0; index < count; ++index)
            writeFile((folder + "/" + std::to_string(index)).c_str(),
                      std::string(static_cast<size_t>(index), 'x'));
    }

    // Every file answered once with its own size, the missing one with "not found".
    void expectRightAnswers(const std::string& folder, int count) {
        int result = -1;
        const std::vector<StreamAnswer> answers = infoStream(afc_, folder, count, &result);
        EXPECT_EQ(0, result);
        for (int index = 0; index < count; ++index) {
            EXPECT_EQ(0, answers[index].result) << folder << " " << index;
            EXPECT_EQ(std::to_string(index), answers[index].size) << folder << " " << index;
            EXPECT_EQ(1, answers[index].times);
        }
        EXPECT_EQ(8, answers.back().result);
    }
};

TEST_F(AfcStreamTest, RepliesAreMatchedByPacketNumberAndADeviceRefusingThemGetsOneAtATime) {
    makeFiles("/Many", 300);
    makeFiles("/Busy", 40);
    testing::internal::CaptureStderr();
    expectRightAnswers("/Many", 300);
    EXPECT_EQ("", testing::internal::GetCapturedStderr());

    // Refused while others wait: asked again alone, and so is everything after, once logged.
    testing::internal::CaptureStderr();
    expectRightAnswers("/Busy", 40);
    expectRightAnswers("/Busy", 40);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, log.find("failed a request sent ahead: one request at a time"))
        << log;
    EXPECT_EQ(log.find("one request at a time"), log.rfind("one request at a time")) << log;
    // Other requests still work, one at a time.
    const std::vector<std::string> names = list("/");
    EXPECT_NE(std::find(names.begin(), names.end(), "Busy"), names.end());
}

TEST_F(AfcStreamTest, AnUnorderedDeviceFallsBackAndAReplyToNoRequestBreaksTheStream) {
    makeFiles("/Unordered", 40);
    testing::internal::CaptureStderr();
    expectRightAnswers("/Unordered", 40);
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(
                                     "answered out of order: one request at a time"));

    makeFiles("/Garbled", 3);
    int result = 0;
    testing::internal::CaptureStderr();
    const std::vector<StreamAnswer> answers = infoStream(afc_, "/Garbled", 3, &result);
    EXPECT_NE(std::string::npos,
              testing::internal::GetCapturedStderr().find("which no request on the way has"));
    EXPECT_EQ(2, result);
    EXPECT_EQ(0, answers.front().times);
    // The stream lost its place: nothing more is read from it.
    AFCDictionaryRef info = nullptr;
    EXPECT_NE(0, MD(AFCFileInfoOpen)(afc_, "/Unordered/1", &info));
}

struct ContentsAnswer {
    int result = -1;
    std::string contents;
    int times = 0;
};

// Reads folder/0 … folder/(count-1), each expected at expectedSize(index) bytes, and
// folder/missing in one stream of whole files.
std::vector<ContentsAnswer> contentsStream(AFCConnectionRef afc, const std::string& folder,
                                           int count, uint64_t largest,
                                           const std::function<uint64_t(int)>& expectedSize,
                                           int* result) {
    std::vector<std::string> paths;
    std::vector<uint64_t> sizes;
    for (int index = 0; index < count; ++index) {
        paths.push_back(folder + "/" + std::to_string(index));
        sizes.push_back(expectedSize(index));
    }
    paths.push_back(folder + "/missing");
    sizes.push_back(10);
    std::vector<const char*> asked;
    for (const std::string& path : paths)
        asked.push_back(path.c_str());
    std::vector<ContentsAnswer> answers(paths.size());
    *result = MD(AFCFileContentsStream)(
        afc, asked.data(), sizes.data(), asked.size(), largest,
        [](void* context, size_t index, int answered, const void* bytes, uint64_t length) {
            ContentsAnswer& answer = (*static_cast<std::vector<ContentsAnswer>*>(context))[index];
            answer.result = answered;
            answer.contents.assign(static_cast<const char*>(bytes), length);
            ++answer.times;
        },
        &answers);
    return answers;
}

TEST_F(AfcStreamTest, WholeFilesArriveInOneStreamAlsoFromADeviceRefusingOrReorderingRequests) {
    // Each file is index bytes of 'x'; some are listed shorter or longer than they are now.
    const auto expectRightContents = [&](const std::string& folder, int count) {
        int result = -1;
        const std::vector<ContentsAnswer> answers = contentsStream(
            afc_, folder, count, 200,
            [](int index) { return uint64_t(index % 3 == 0 ? index / 2 : index + 5); }, &result);
        EXPECT_EQ(0, result);
        for (int index = 0; index < count; ++index) {
            EXPECT_EQ(1, answers[index].times) << folder << " " << index;
            if (index > 200) {
                EXPECT_EQ(13, answers[index].result) << folder << " " << index;
                continue;
            }
            EXPECT_EQ(0, answers[index].result) << folder << " " << index;
            EXPECT_EQ(std::string(static_cast<size_t>(index), 'x'), answers[index].contents)
                << folder << " " << index;
        }
        EXPECT_EQ(8, answers.back().result);
        EXPECT_EQ(1, answers.back().times);
    };
    makeFiles("/Whole", 240);
    makeFiles("/Busy", 30);
    makeFiles("/Unordered", 30);
    testing::internal::CaptureStderr();
    expectRightContents("/Whole", 240);
    EXPECT_EQ("", testing::internal::GetCapturedStderr());

    testing::internal::CaptureStderr();
    expectRightContents("/Busy", 30);
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(
                                     "failed a request sent ahead: one request at a time"));
    // One at a time from then on, and still whole.
    expectRightContents("/Unordered", 30);
    expectRightContents("/Whole", 240);
}

TEST_F(AfcStreamTest, AReorderedStreamOfWholeFilesFallsBackWithTheirContentsInOrder) {
    makeFiles("/Unordered", 30);
    testing::internal::CaptureStderr();
    int result = -1;
    const std::vector<ContentsAnswer> answers = contentsStream(
        afc_, "/Unordered", 30, 100, [](int index) { return uint64_t(index); }, &result);
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(
                                     "answered out of order: one request at a time"));
    EXPECT_EQ(0, result);
    for (int index = 0; index < 30; ++index)
        EXPECT_EQ(std::string(static_cast<size_t>(index), 'x'), answers[index].contents) << index;
}

struct PartAnswer {
    int result = -1;
    uint64_t size = 0;
    std::string bytes;
    int times = 0;
};

// File index of folder holds index + 20 characters counting up from its own; its part starts at
// (index % 4) * 9 and asks for 30 characters, past the end for some.
std::string partFileContent(int index) {
    std::string content;
    for (int at = 0; at < index + 20; ++at)
        content += static_cast<char>('A' + (index + at) % 26);
    return content;
}

TEST_F(AfcStreamTest, PartsOfFilesArriveInOneStreamAlsoFromADeviceRefusingOrReorderingRequests) {
    const auto expectRightParts = [&](const std::string& folder, int count) {
        std::vector<std::string> paths;
        std::vector<uint64_t> offsets;
        std::vector<uint64_t> lengths;
        for (int index = 0; index < count; ++index) {
            paths.push_back(folder + "/" + std::to_string(index));
            offsets.push_back(uint64_t(index % 4) * 9);
            lengths.push_back(30);
        }
        paths.push_back(folder + "/missing");
        offsets.push_back(0);
        lengths.push_back(30);
        std::vector<const char*> asked;
        for (const std::string& path : paths)
            asked.push_back(path.c_str());
        std::vector<PartAnswer> answers(paths.size());
        const int result = MD(AFCFilePartStream)(
            afc_, asked.data(), offsets.data(), lengths.data(), asked.size(),
            [](void* context, size_t index, int answered, uint64_t size, const void* bytes,
               uint64_t length) {
                PartAnswer& answer = (*static_cast<std::vector<PartAnswer>*>(context))[index];
                answer.result = answered;
                answer.size = size;
                answer.bytes.assign(static_cast<const char*>(bytes), length);
                ++answer.times;
            },
            &answers);
        EXPECT_EQ(0, result);
        for (int index = 0; index < count; ++index) {
            const std::string content = partFileContent(index);
            EXPECT_EQ(1, answers[index].times) << folder << " " << index;
            EXPECT_EQ(0, answers[index].result) << folder << " " << index;
            EXPECT_EQ(content.size(), answers[index].size) << folder << " " << index;
            EXPECT_EQ(offsets[index] < content.size() ? content.substr(offsets[index], 30) : "",
                      answers[index].bytes)
                << folder << " " << index;
        }
        EXPECT_EQ(8, answers.back().result);
        EXPECT_EQ(1, answers.back().times);
    };
    for (const std::string folder : {"/Parts", "/Busy"}) {
        ASSERT_EQ(0, MD(AFCDirectoryCreate)(afc_, folder.c_str()));
        for (int index = 0; index < 40; ++index)
            writeFile((folder + "/" + std::to_string(index)).c_str(), partFileContent(index));
    }
    testing::internal::CaptureStderr();
    expectRightParts("/Parts", 40);
    EXPECT_EQ("", testing::internal::GetCapturedStderr());

    testing::internal::CaptureStderr();
    expectRightParts("/Busy", 40);
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(
                                     "failed a request sent ahead: one request at a time"));
    expectRightParts("/Parts", 40);
}

TEST_F(AfcStreamTest, AReorderedStreamOfPartsFallsBackWithEachFilesOwnBytes) {
    ASSERT_EQ(0, MD(AFCDirectoryCreate)(afc_, "/Unordered"));
    std::vector<std::string> paths;
    for (int index = 0; index < 30; ++index) {
        paths.push_back("/Unordered/" + std::to_string(index));
        writeFile(paths.back().c_str(), partFileContent(index));
    }
    std::vector<const char*> asked;
    for (const std::string& path : paths)
        asked.push_back(path.c_str());
    const std::vector<uint64_t> offsets(paths.size(), 5);
    const std::vector<uint64_t> lengths(paths.size(), 10);
    std::vector<std::string> parts(paths.size());
    testing::internal::CaptureStderr();
    EXPECT_EQ(0, MD(AFCFilePartStream)(
                     afc_, asked.data(), offsets.data(), lengths.data(), asked.size(),
                     [](void* context, size_t index, int answered, uint64_t, const void* bytes,
                        uint64_t length) {
                         if (answered == 0)
                             (*static_cast<std::vector<std::string>*>(context))[index].assign(
                                 static_cast<const char*>(bytes), length);
                     },
                     &parts));
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(
                                     "answered out of order: one request at a time"));
    for (int index = 0; index < 30; ++index)
        EXPECT_EQ(partFileContent(index).substr(5, 10), parts[index]) << index;
}

struct WriteAnswer {
    int result = -1;
    bool stagedLeft = false;
    int times = 0;
};

// Writes folder/0 … folder/(count-1), each index bytes of 'w', through folder/.staged-N.
std::vector<WriteAnswer> writeStream(AFCConnectionRef afc, const std::string& folder, int count,
                                     int* result) {
    std::vector<std::string> paths;
    std::vector<std::string> staged;
    std::vector<std::string> contents;
    for (int index = 0; index < count; ++index) {
        paths.push_back(folder + "/" + std::to_string(index));
        staged.push_back(folder + "/.staged-" + std::to_string(index));
        contents.emplace_back(static_cast<size_t>(index), 'w');
    }
    std::vector<AFCFileWrite> files;
    for (int index = 0; index < count; ++index)
        files.push_back({paths[index].c_str(), staged[index].c_str(), contents[index].data(),
                         contents[index].size(), uint64_t{1700000000} * 1000000000});
    std::vector<WriteAnswer> answers(files.size());
    *result = MD(AFCFileWriteStream)(
        afc, files.data(), files.size(),
        [](void* context, size_t index, int answered, int stagedLeft) {
            WriteAnswer& answer = (*static_cast<std::vector<WriteAnswer>*>(context))[index];
            answer.result = answered;
            answer.stagedLeft = stagedLeft != 0;
            ++answer.times;
        },
        &answers);
    return answers;
}

TEST_F(AfcStreamTest, SmallFilesAreWrittenInOneStreamAndNothingIsPlacedOverWhatIsThere) {
    const auto expectWritten = [&](const std::string& folder, int count, int taken) {
        int result = -1;
        const std::vector<WriteAnswer> answers = writeStream(afc_, folder, count, &result);
        EXPECT_EQ(0, result);
        for (int index = 0; index < count; ++index) {
            EXPECT_EQ(1, answers[index].times) << folder << " " << index;
            EXPECT_FALSE(answers[index].stagedLeft) << folder << " " << index;
            EXPECT_EQ(index == taken ? 16 : 0, answers[index].result) << folder << " " << index;
        }
        // The written files under their names, what was there kept, no staged file left.
        int readResult = -1;
        const std::vector<ContentsAnswer> read = contentsStream(
            afc_, folder, count, 1000, [](int index) { return uint64_t(index); }, &readResult);
        for (int index = 0; index < count; ++index) {
            EXPECT_EQ(index == taken ? std::string("kept") : std::string(index, 'w'),
                      read[index].contents)
                << folder << " " << index;
        }
        for (const std::string& name : list(folder.c_str()))
            EXPECT_EQ(std::string::npos, name.find("staged")) << name;
    };
    ASSERT_EQ(0, MD(AFCDirectoryCreate)(afc_, "/Pushed"));
    writeFile("/Pushed/7", "kept");
    testing::internal::CaptureStderr();
    expectWritten("/Pushed", 120, 7);
    EXPECT_EQ("", testing::internal::GetCapturedStderr());

    // A device without space: each fails with its reason, and neither it nor its staged file
    // stays behind.
    ASSERT_EQ(0, MD(AFCDirectoryCreate)(afc_, "/Full"));
    ASSERT_EQ(0, MD(AFCDirectoryCreate)(afc_, "/Full/Pushed"));
    int result = -1;
    const std::vector<WriteAnswer> full = writeStream(afc_, "/Full/Pushed", 5, &result);
    EXPECT_EQ(0, result);
    for (int index = 1; index < 5; ++index)
        EXPECT_EQ(18, full[index].result) << index;
    EXPECT_EQ(0, full[0].result);  // nothing to write
    EXPECT_EQ((std::vector<std::string>{".", "..", "0"}), list("/Full/Pushed"));

    // A device refusing requests sent ahead gets them again, one at a time.
    ASSERT_EQ(0, MD(AFCDirectoryCreate)(afc_, "/Busy"));
    ASSERT_EQ(0, MD(AFCDirectoryCreate)(afc_, "/Busy/Pushed"));
    writeFile("/Busy/Pushed/3", "kept");
    testing::internal::CaptureStderr();
    expectWritten("/Busy/Pushed", 30, 3);
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find(
                                     "failed a request sent ahead: one request at a time"));
}

}  // namespace
