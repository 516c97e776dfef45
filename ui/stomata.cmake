# The Stomata dialog: target_sources(ombrisk_ui PRIVATE ...).
