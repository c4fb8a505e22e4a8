# Parameter registries, presets and banks.
