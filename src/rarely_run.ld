/* The code of the parts a session that plays its modules may never open,
   gathered behind the rest of the player's code. Code is read into memory
   by the 64 KB and more around each place that runs, so scattered among the
   code that runs with every frame it would all be resident; gathered here
   it stays on disk until its part is opened. Only each file's own functions
   move (the templates it shares with the rest stay where they are), and the
   place of a function changes nothing of what it does: a file listed here
   whose code does run costs memory, not correctness. Nothing the sound
   thread runs while it plays belongs here: the first call of a function
   gathered here may wait for its page.

   Added to the default linker script for xq (src/CMakeLists.txt). */
SECTIONS
{
  .text.rarely :
  {
    /* the file selector */
    *libxqcore.a:directory_listing.cpp.o(.text)
    *libxqcore.a:directory_path.cpp.o(.text)
    *libxqcore.a:file_selector.cpp.o(.text)
    *libxqcore.a:line_editor.cpp.o(.text)
    /* the playlist editor and the playlist's store */
    *libxqcore.a:playlist_panel.cpp.o(.text)
    *libxqcore.a:playlist_file.cpp.o(.text)
    *libxqcore.a:playlist_store.cpp.o(.text)
    /* the panels that show the module and the program */
    *libxqcore.a:help_panel.cpp.o(.text)
    *libxqcore.a:about_panel.cpp.o(.text)
    *libxqcore.a:comment_panel.cpp.o(.text)
    *libxqcore.a:effects_panel.cpp.o(.text)
    *libxqcore.a:instruments_panel.cpp.o(.text)
    *libxqcore.a:samples_panel.cpp.o(.text)
    *libxqcore.a:record_browser.cpp.o(.text)
    *libxqcore.a:number_editor.cpp.o(.text)
    *libxqcore.a:panel_mover.cpp.o(.text)
    *libxqcore.a:commands.cpp.o(.text)
    /* packs, rendering and the lengths of other songs */
    *libxqcore.a:archive_library.cpp.o(.text)
    *libxqcore.a:zip_directory.cpp.o(.text)
    *libxqcore.a:song_render.cpp.o(.text)
    *libxqcore.a:song_lengths.cpp.o(.text)
    /* the remote control's client and its commands */
    *libxqcore.a:remote_client.cpp.o(.text)
    *libxqcore.a:remote_commands.cpp.o(.text)
    /* the C++ runtime's demangler, for the message of an uncaught exception */
    *libstdc++.a:cp-demangle.o(.text .text.*)
  }
}
INSERT AFTER .text;
