# The window layer: the window renderer, its sector map and the window services views call.
tal_sources(
  Sources/UI/CSectorMap.cpp
  Sources/UI/CWindowRenderer.cpp
)
