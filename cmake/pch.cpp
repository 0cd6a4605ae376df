// Source of the targets that compile the shared precompiled headers
// (cmake/LumoraBuild.cmake); it has nothing of its own.
