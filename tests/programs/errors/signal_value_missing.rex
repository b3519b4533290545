where = 'nowhere'
signal value where
