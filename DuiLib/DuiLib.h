// Placeholder toolkit header.
#pragma once
