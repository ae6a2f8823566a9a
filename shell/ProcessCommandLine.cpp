#include "shell/ProcessCommandLine.h"

#include "data/base/TextUtils.h"
#include "shell/ExportCommand.h"

#include <exception>
#include <filesystem>

namespace {
bool FileExists(const std::string& name) {
    std::error_code ec;
    return !name.empty() && std::filesystem::is_regular_file(name, ec);
}

} // namespace

void ShowNewWarnings(const TShellState& state, TMessageSink& sink, size_t& shown, bool& more) {
    const TTableWarnings* w = state.CurrentDataSet ? state.CurrentDataSet->Warnings() : nullptr;
    if (!w) return;
    for (; shown < w->List().size(); ++shown)
        sink.ShowWarning(w->List()[shown]);
    if (w->More() && !more) {
        more = true;
        sink.ShowWarning("(more warnings about the table are not shown)");
    }
}

TCommandLineResult ProcessCommandLine(TShellState& state, const std::vector<std::string>& params,
                                      TMessageSink& sink) {
    TCommandLineResult result;
    if (params.empty()) return result;
    result.Ran = true;
    TCommandLine cl = ParseCommandLine(params);
    if (!cl.Error.empty()) {
        sink.ShowError(std::string(CommandLineErrors) + "\r\n" + cl.Error);
        result.Failed = true;
        return result;
    }

    if (!FileExists(cl.TableName)) {
        sink.ShowError(FileDoesNotExistText(cl.TableName));
        result.Failed = true;
        return result;
    }

    struct TFailureSink : TMessageSink {
        TMessageSink& Inner;
        bool Failed = false;
        explicit TFailureSink(TMessageSink& inner) : Inner(inner) {}
        void ShowInfo(const std::string& t) override { Inner.ShowInfo(t); }
        void ShowError(const std::string& t) override {
            Failed = true;
            Inner.ShowError(t);
        }
    } openSink(sink);

    size_t shownWarnings = 0;
    bool moreWarnings = false;
    try {
        bool saved = state.Settings.AlwaysTryADO;
        state.Settings.AlwaysTryADO = cl.Ado;
        try {
            OpenDatabase(state, cl.TableName, openSink, TTableEngines::Default(), cl.CodePage);
        } catch (...) {
            state.Settings.AlwaysTryADO = saved;
            throw;
        }
        state.Settings.AlwaysTryADO = saved;
        if (openSink.Failed || !state.CurrentDataSet || !state.CurrentDataSet->Active()) {
            result.Failed = true;
            return result;
        }
        ShowNewWarnings(state, sink, shownWarnings, moreWarnings);
        if (!cl.Export) return result;

        std::string dest = std::string(Trim(cl.Destination));
        if (dest.empty()) {
            sink.ShowError(NoDestinationText());
            result.Failed = true;
            return result;
        }
        state.Settings.ActionType = actFile;
        std::string format =
            cl.FormatName.empty() ? FormatNameOfDestination(cl.Destination) : cl.FormatName;
        state.Settings.FormatType = FormatTypeOfName(format);
        if (state.Settings.FormatType == fmtText && cl.HasSeparator)
            state.Settings.Separator = cl.Separator;
        int written;
        try {
            written = RunExport(state, cl.Destination);
        } catch (...) {
            ShowNewWarnings(state, sink, shownWarnings, moreWarnings);
            throw;
        }
        ShowNewWarnings(state, sink, shownWarnings, moreWarnings);
        if (cl.CloseAfter)
            result.CloseAfter = true;
        else
            sink.ShowInfo(std::to_string(written) + " records have been copied.");
    } catch (const std::exception& e) {
        sink.ShowError(e.what());
        result.Failed = true;
    }
    return result;
}
