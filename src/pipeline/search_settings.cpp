#include "pipeline/search_settings.h"

#include <algorithm>
#include <filesystem>

#include "base/errors.h"
#include "base/file_names.h"

namespace xoprex {

// The options as the run takes them from its source, with the command
// line's settings over them.
Options searchOptions(const SearchInputs& inputs, OptionsReading& reading) {
    Options options;
    if (inputs.optionsSource == OptionsSource::Factory) {
        options = factoryOptions();
    } else {
        const std::string& path = inputs.optionsPath;
        reading = readOptionValuesFile(options, path);
        if (inputs.optionsSource == OptionsSource::File && !reading.opened) {
            throw InputError(InputProblem::Unreadable, path,
                             "Options file could not be opened: " + path);
        }
        if (inputs.optionsSource == OptionsSource::File && !reading.complete()) {
            throw InputError(InputProblem::Options, path,
                             "Incomplete options file: " + path + " holds " +
                                 std::to_string(reading.values) + " of the 16 options");
        }
        if (!reading.complete()) {
            applyBuiltInDefaults(options);
        }
    }
    applySettings(options, inputs.optionSettings);
    return options;
}

// The log lines of the options: those of their source, and the options in
// effect when they are not simply the file's.
void logOptionsReading(const SearchInputs& inputs, const OptionsReading& reading,
                       const Options& options, RunLog& log) {
    if (inputs.optionsSource == OptionsSource::Factory) {
        log.writeLine("Setting options to factory defaults...");
    } else {
        for (const std::string& line : optionsReadingLines(reading)) {
            log.writeLine(line);
        }
    }
    if (inputs.optionsSource == OptionsSource::Factory || !inputs.optionSettings.empty()) {
        log.writeJoined("Options in effect: ", describeOptions(options));
    }
}

std::optional<SettingsProblem> checkSettings(const SearchInputs& inputs) {
    if (inputs.collections.empty()) {
        return SettingsProblem{"--collection, --collections or --motifs is required", "", true};
    }
    const auto readsStandardInput = [](const CollectionSource& source) {
        return isStandardInput(source.path);
    };
    if (std::count_if(inputs.collections.begin(), inputs.collections.end(), readsStandardInput) +
            (isStandardInput(inputs.sequencePath) ? 1 : 0) >
        1) {
        return SettingsProblem{"standard input (-) can be only one of the inputs", "", true};
    }
    if (!inputs.reportPath.empty()) {
        // Found now, not after the whole search.
        const std::filesystem::path folder = std::filesystem::path(inputs.reportPath).parent_path();
        std::error_code error;
        if (!folder.empty() && !std::filesystem::is_directory(folder, error)) {
            return SettingsProblem{"The report's folder " + folder.string() + " does not exist",
                                   inputs.reportPath, false};
        }
    }
    return std::nullopt;
}

}  // namespace xoprex
