object TestWindow: TTestBase
  Caption = 'Base caption'
  ClientWidth = 300
  object Label1: TLabel
    Caption = 'From the base'
  end
end
