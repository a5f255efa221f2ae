#include "shell/control.h"

#include "db/data_connector.h"
#include "word/application.h"

namespace kyt {

// Out of line, where the connector and the document application are complete types.
SessionState::SessionState() = default;
SessionState::~SessionState() = default;
SessionState::SessionState(SessionState&&) noexcept = default;
SessionState& SessionState::operator=(SessionState&&) noexcept = default;

}  // namespace kyt
