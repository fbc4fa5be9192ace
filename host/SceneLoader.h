// Loads a scene file (JSON, described in SceneFormat.md) into a session.
#pragma once

#include "HostSession.h"

#include <filesystem>
#include <stdexcept>
#include <string>

namespace Hostsim {

// "<file>: <JSON path>: <what is wrong>", e.g.
// "scene.json: /models/2/bodies/0/surfaces/1/type: expected an integer".
class SceneError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Adds the scene's models to the session and applies its settings (the working directory as
// written: hostsim resolves a relative one from the scene's folder). Throws SceneError for a
// file that cannot be read, is no valid JSON, has values of the wrong type or refers to
// something missing; the session should then be discarded.
void loadScene(Session& session, const std::filesystem::path& file);
// The same from text; `fileName` names it in errors. Relative model file paths start in the
// current folder, or in `baseDirectory`.
void loadSceneText(Session& session, const std::string& text, const std::string& fileName);
void loadSceneText(Session& session, const std::string& text, const std::string& fileName,
                   const std::filesystem::path& baseDirectory);

} // namespace Hostsim
