// Placeholder until the blend tables land.
