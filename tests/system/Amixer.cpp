#include "tests/system/Amixer.h"

#include <sstream>

#include "platform/scheduler/ChildProcess.h"

namespace {

std::vector<std::string> ChannelLines(const std::string& strOutput) {
    std::vector<std::string> lines;
    std::istringstream in(strOutput);
    std::string line;
    while (std::getline(in, line)) {
        for (const char* pName : {"Front Left:", "Front Right:"}) {
            if (const size_t at = line.find(pName); at != std::string::npos) {
                lines.push_back(line.substr(at + std::string(pName).size()));
            }
        }
    }
    return lines;
}

}  // namespace

std::optional<std::string> CAmixer::Run(const std::vector<std::string>& args) {
    SChildCommand command;
    command.argv = {"amixer"};
    command.argv.insert(command.argv.end(), args.begin(), args.end());
    command.environment = CurrentEnvironment();
    const SChildResult result = RunChildProcess(command);
    if (!result.Succeeded()) {
        return std::nullopt;
    }
    return result.strOut;
}

std::string CAmixer::MixerName(int nCard) {
    const std::optional<std::string> output = Run({"-c", std::to_string(nCard), "info"});
    if (!output) {
        return {};
    }
    const std::string key = "Mixer name\t: '";
    const size_t at = output->find(key);
    if (at == std::string::npos) {
        return {};
    }
    const size_t begin = at + key.size();
    const size_t end = output->find("'\n", begin);
    return end == std::string::npos ? std::string() : output->substr(begin, end - begin);
}

// "Playback 40 [63%] [-30.00dB] [on]" on a codec, "0 [33%] [-30.00dB]
// Capture [off]" for a common volume with a capture switch.
std::optional<std::vector<CAmixer::SChannel>> CAmixer::Read(int nCard,
                                                            const std::string& strControl) {
    const std::optional<std::string> output =
        Run({"-c", std::to_string(nCard), "sget", strControl});
    if (!output) {
        return std::nullopt;
    }
    std::vector<SChannel> channels;
    for (std::string line : ChannelLines(*output)) {
        if (const size_t capture = line.find(" Capture"); capture != std::string::npos) {
            line.erase(capture);
        }
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "Playback") {
            words >> word;
        }
        SChannel channel;
        try {
            channel.nRaw = std::stol(word);
        } catch (const std::exception&) {
            return std::nullopt;
        }
        channel.bOn = line.find("[off]") == std::string::npos;
        channels.push_back(channel);
    }
    if (channels.empty()) {
        return std::nullopt;
    }
    return channels;
}

bool CAmixer::Set(int nCard, const std::string& strControl,
                  const std::vector<std::string>& values) {
    std::vector<std::string> args = {"-q", "-c", std::to_string(nCard), "sset", strControl};
    args.insert(args.end(), values.begin(), values.end());
    return Run(args).has_value();
}

std::optional<bool> CAmixer::CaptureOn(int nCard, const std::string& strControl) {
    const std::optional<std::string> output =
        Run({"-c", std::to_string(nCard), "sget", strControl});
    if (!output) {
        return std::nullopt;
    }
    for (const std::string& line : ChannelLines(*output)) {
        if (const size_t at = line.find("Capture ["); at != std::string::npos) {
            return line.compare(at + 9, 2, "on") == 0;
        }
    }
    return std::nullopt;
}
