// The one place that shows an error leaving a command: every menu command and button handler, and
// the main window's creation, runs through Guarded, which shows the error's whole text through the
// prompts and returns, so the window stays usable.
#pragma once

#include <exception>
#include <utility>

#include "platform/error.h"
#include "platform/prompts.h"

template <class Command>
auto Guarded(Prompts& prompts, Command command) {
    return [&prompts, command = std::move(command)]() {
        try {
            command();
        } catch (const Error& error) {
            prompts.ShowError(error.Message());
        } catch (const std::exception& error) {
            prompts.ShowError(error.what());
        } catch (...) {
            prompts.ShowError("An unexpected error ended the command.");
        }
    };
}
