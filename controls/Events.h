#pragma once

#include <functional>

class QObject;

// An event of a control: the sender first, as every handler gets it.
using TkxNotifyEvent = std::function<void(QObject& sender)>;
