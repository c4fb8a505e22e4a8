# The layout engine: the solver, view areas with their size programs, inline rows, placement passes,
# rectangles and the layout pass.
tal_sources(
  Sources/UI/CLayoutSolver.cpp
  Sources/UI/CViewArea.cpp
  Sources/UI/CViewAreaUpdateHandler.cpp
)
tal_tests(ui
  tests/UI/CLayoutSolverTest.cpp
  tests/UI/CViewAreaTest.cpp
  tests/UI/CViewAreaPassTest.cpp
)
tal_benchmark(tal_layout_bench
  bench/UI/LayoutBench.cpp
)
