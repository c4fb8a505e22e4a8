# The file-dialog service: open, save and choose-folder panels answered as events of the views.
tal_sources(
  Sources/UI/CFileDialog.cpp
)
tal_tests(ui
  tests/UI/CFileDialogTest.cpp
)
